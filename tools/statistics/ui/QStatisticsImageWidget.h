#pragma once
// A reader's latest image with the codes found in it, and its four figures with captions.
// "#IDS_DeviceConnecting" stands in for everything while the reader is not ready.
#include "KxDecodeImage.h"
#include "StatisticsFigures.h"

#include <QImage>
#include <QWidget>

class QStatisticsImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QStatisticsImageWidget(QWidget *parent = nullptr);

    void setReady(bool ready);
    bool isReady() const { return m_ready; }
    void setFigures(const StatisticsFigures &f);
    void setImage(const QImage &image, const QList<KxFoundCode> &marks, double penWidthRate,
                  double penHeighRate);
    // The marks are drawn unless the "MARKKIT" option "nodraw" is set.
    static bool marksDrawn();
    static void setMarksDrawn(bool on);

    // Figure fields, in order: total, successes, average time, success rate.
    QStringList figureTexts() const;
    bool hasImage() const { return !m_image.isNull(); }
    int markCount() const { return m_marks.size(); }

    QSize sizeHint() const override { return QSize(400, 330); }
    QSize minimumSizeHint() const override { return QSize(260, 220); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_ready = false;
    StatisticsFigures m_figures;
    QImage m_image;
    QList<KxFoundCode> m_marks;
    double m_penWidthRate = 1;
    double m_penHeighRate = 1;
};
