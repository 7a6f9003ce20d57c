#pragma once
// The image wall: a scrolling column of the latest images as thumbnails (newest on top, at
// most kMaxItems); clicking one shows it again in the view.
#include <QFrame>
#include <QScrollArea>
#include <QTime>

class QVBoxLayout;
class QLabel;

class BCodeWallItem : public QFrame
{
    Q_OBJECT
public:
    BCodeWallItem(const QPixmap &thumb, const QByteArray &imgData, const QByteArray &extData,
                  const QString &fileName, QWidget *parent = nullptr);
    QByteArray imageData() const { return m_img; }
    QByteArray extData() const { return m_ext; }
    QString fileName() const { return m_file; }
    void setFileName(const QString &name);

signals:
    void clicked(BCodeWallItem *item);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QByteArray m_img;
    QByteArray m_ext;
    QString m_file;
    QTime m_shownAt;
    QLabel *m_name;
};

class BCodeImageWall : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int kMaxItems = 30;
    static constexpr int kThumbWidth = 150;

    explicit BCodeImageWall(QWidget *parent = nullptr);
    void addImage(const QPixmap &pixmap, const QByteArray &imgData, const QByteArray &extData,
                  const QString &fileName);
    int count() const;
    BCodeWallItem *item(int i) const;
    void clear();

signals:
    void imageClicked(const QByteArray &img_data, const QByteArray &ext_data, const QString &img_File);

public slots:
    // A save of fileName ended; the item shows where the file went.
    void onSaveFinished(bool success, const QString &savePath, bool needInsertDb);

private:
    QWidget *m_content;
    QVBoxLayout *m_layout;
};
