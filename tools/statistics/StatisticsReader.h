#pragma once
// One watched reader of the statistics page, without widgets: connects and logs in, lets the
// command worker poll the read counters every 500 ms, turns each reply into figures and history
// records, fetches the latest image (decoded for its marks on the worker) and clears the
// counters on request. Nothing here waits on the reader.
#include "KxDeviceTypes.h"
#include "KxDecodeImage.h"
#include "KxKitTypes.h"
#include "StatisticsFigures.h"
#include "StatisticsHistory.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QPointer>

#include <functional>

class KxDeviceConnector;

class StatisticsReader : public QObject
{
    Q_OBJECT
public:
    enum State { Idle, Connecting, Ready, Failed };
    // Between failed connection attempts.
    static constexpr int kRetryMs = 5000;

    StatisticsReader(const QString &deviceId, const KxDeviceInfoMap &info, QObject *parent = nullptr);
    ~StatisticsReader() override;

    QString deviceId() const { return m_deviceId; }
    KxDeviceInfoMap info() const { return m_info; }
    QString serialNumber() const;
    // "Product Name" of the information map, else the line of that name in "PRNQRY".
    QString productName() const;
    static QString productNameOf(const KxDeviceInfoMap &info);
    State state() const { return m_state; }
    bool hasCounts() const { return m_hasCounts; }
    StatisticsCounts counts() const { return m_counts; }
    StatisticsFigures figures() const { return m_figures; }
    int replies() const { return m_replies; }
    StatisticsHistory &history() { return m_history; }
    KxDeviceConnector *connector() const;

    QImage image() const { return m_image; }
    QList<KxFoundCode> marks() const { return m_marks; }
    // Sensor size over image size, for line widths that look alike on any image scale.
    double penWidthRate() const { return m_penWidthRate; }
    double penHeighRate() const { return m_penHeighRate; }
    bool isImageBusy() const { return m_imageBusy; }
    QDateTime imageTime() const { return m_imageTime; }

public slots:
    void start();
    // Lets the reader go; the counters in the reader are left as they are.
    void stop();
    // One image, decoded for its marks on the reader's worker; false while one is on its way.
    bool requestImage();
    // "#DBGCNC": the reader clears its counters; done(ok) on the main thread.
    bool resetCounters(const std::function<void(bool)> &done);

    // A "DBGCNT" reply (public for the page's tests): figures and the history advance.
    void takeReply(const QByteArray &reply, const QDateTime &now = QDateTime::currentDateTime());

signals:
    void stateChanged(int state);
    void countsChanged();
    void imageChanged();

private:
    void setState(State s);
    void connectNow();
    void scheduleRetry();
    void release();

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QPointer<KxDeviceConnector> m_connector;
    State m_state = Idle;
    bool m_hasCounts = false;
    StatisticsCounts m_counts;
    StatisticsFigures m_figures;
    int m_replies = 0;
    StatisticsHistory m_history;
    QImage m_image;
    QList<KxFoundCode> m_marks;
    double m_penWidthRate = 1.0;
    double m_penHeighRate = 1.0;
    bool m_imageBusy = false;
    QDateTime m_imageTime;
    bool m_stopped = false;
    int m_intervalMinutes = 30;
};
