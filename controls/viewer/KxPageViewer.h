#pragma once
// The page viewer's window: one page file of one model, shown with its default values.
#include <QWidget>

#include <memory>

class KxPropertyWidget;
struct KxPagesInfo;
class QLabel;

class KxPageViewer : public QWidget
{
    Q_OBJECT
public:
    explicit KxPageViewer(QWidget *parent = nullptr);
    ~KxPageViewer() override;

    // The model's folder: a path, or a model name under <program>/models/barcodesetting.
    static QString resolveModelDir(const QString &model, const QString &appDir);
    // The page file: a path, or a name under <model>/pages (".xml" may be left out).
    static QString resolvePageFile(const QString &modelDir, const QString &page);

    // Loads texts for the language first (option texts are translated while loading).
    bool open(const QString &modelDir, const QString &pageFile, const QString &lang,
              const QString &appDir, QString *error);
    KxPropertyWidget *propertyWidget() const { return m_property; }

private:
    std::unique_ptr<KxPagesInfo> m_pages;
    KxPropertyWidget *m_property;
    QLabel *m_status;
};
