#pragma once
// Cuts a reader's raw result stream into frames and parses them on its own thread. The
// connector appends bytes from the main thread into a fixed ring (no lock, no allocation per
// byte); the thread emits what it parsed in batches at most every 15 ms.
//
// Result mode 1: test-result frames (02 02); otherwise "KESTOR" frames. RFID readers: tag
// frames (AA 55 BB CC); a tag list that grows past 5000 entries is dropped whole.
#include "BarcodeParse.h"
#include "KxResultRing.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <vector>

class KxBarcodeConsumerThread : public QThread
{
    Q_OBJECT
public:
    static constexpr size_t kRingSize = 1048576;
    static constexpr size_t kFrameSize = 409600;
    static constexpr int kBatchMs = 15;
    static constexpr int kMaxTags = 5000;

    explicit KxBarcodeConsumerThread(QObject *parent = nullptr);
    ~KxBarcodeConsumerThread() override;

    // Main thread. False, with the bytes dropped whole, when the ring has no room for them.
    bool append(const QByteArray &bytes);
    void stop() { m_stop.store(true); }
    bool isStopping() const { return m_stop.load(); }

    // Set before start().
    void setResultMode(int mode) { m_resultMode.store(mode); }
    int resultMode() const { return m_resultMode.load(); }
    void setRawStream(bool raw) { m_rawStream = raw; }
    bool isRawStream() const { return m_rawStream; }
    void setRfid(bool rfid) { m_rfid = rfid; }
    bool isRfid() const { return m_rfid; }
    // Any thread: the reader grades codes ("INCCQP"/"INCCQS"), so quality texts are grades.
    void setQualitySupport(bool on) { m_qualitySupport.store(on); }
    bool qualitySupport() const { return m_qualitySupport.load(); }
    // Sender of results of raw readers without a device type.
    void setSender(const QString &sn, const QString &ip, const QString &mac);
    // The parser; configure it before start().
    BarcodeParse *parser() { return &m_parse; }

    // Any thread: the no-read messages; the thread picks them up before its next batch.
    void setNoReadMessages(const QList<QByteArray> &messages);

    // Counters for diagnostics and tests.
    qint64 droppedBytes() const { return m_droppedBytes.load(); }
    qint64 framesParsed() const { return m_frames.load(); }

signals:
    void tagsReceived(QList<STRUCT_TAG_INFO> lstTagsInfo);
    void batBarcodeReceived(QList<STRUCT_BARCODE_INFO> lstBarcodesInfo, bool bHasBQ);
    void batTestResultReceived(QList<STRU_TEST_RESULT_INFO> lstTestResults);
    void visionResultsReceived(QList<QByteArray> payloads);

protected:
    void run() override;

private:
    void runResults();
    void runTags();
    void emitBatch();
    void refreshNoReads();
    QByteArray frameView(size_t size) const;

    KxResultRing m_ring;
    std::vector<char> m_frame;
    std::atomic<bool> m_stop{false};
    bool m_rawStream = false;
    bool m_rfid = false;
    std::atomic<int> m_resultMode{0};
    KxFrameSearch m_tagSearch;
    KxFrameSearch m_kestorSearch;
    KxFrameSearch m_testSearch;
    QElapsedTimer m_timer;
    BarcodeParse m_parse;
    std::atomic<bool> m_qualitySupport{false};
    QString m_sn, m_ip, m_mac;

    QMutex m_noReadMutex;
    QList<QByteArray> m_noReads;
    std::atomic<int> m_noReadVersion{0};
    int m_noReadSeen = 0;
    std::atomic<qint64> m_droppedBytes{0};
    std::atomic<qint64> m_frames{0};
};
