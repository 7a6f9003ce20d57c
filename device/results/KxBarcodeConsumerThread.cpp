#include "KxBarcodeConsumerThread.h"

#include <QDebug>

KxBarcodeConsumerThread::KxBarcodeConsumerThread(QObject *parent)
    : QThread(parent),
      m_ring(kRingSize),
      m_frame(kFrameSize),
      m_tagSearch(KxFrameLayout::Tag, kFrameSize),
      m_kestorSearch(KxFrameLayout::Kestor, kFrameSize),
      m_testSearch(KxFrameLayout::Test, kFrameSize)
{
    kxRegisterResultTypes();
}

KxBarcodeConsumerThread::~KxBarcodeConsumerThread()
{
    stop();
    wait();
}

bool KxBarcodeConsumerThread::append(const QByteArray &bytes)
{
    if (m_ring.append(bytes.constData(), size_t(bytes.size())))
        return true;
    m_droppedBytes.fetch_add(bytes.size());
    qWarning() << "KxBarcodeConsumerThread::append()...ring full, dropped" << bytes.size() << "bytes";
    return false;
}

void KxBarcodeConsumerThread::setSender(const QString &sn, const QString &ip, const QString &mac)
{
    m_sn = sn;
    m_ip = ip;
    m_mac = mac;
}

void KxBarcodeConsumerThread::setNoReadMessages(const QList<QByteArray> &messages)
{
    QMutexLocker lock(&m_noReadMutex);
    m_noReads = messages;
    m_noReadVersion.fetch_add(1);
}

void KxBarcodeConsumerThread::refreshNoReads()
{
    m_parse.setGradingDisplay(m_qualitySupport.load());
    const int version = m_noReadVersion.load();
    if (version == m_noReadSeen)
        return;
    QMutexLocker lock(&m_noReadMutex);
    m_parse.setNoReadMessages(m_noReads);
    m_noReadSeen = version;
}

QByteArray KxBarcodeConsumerThread::frameView(size_t size) const
{
    // The parser copies what it keeps, so the frame buffer is lent, not copied.
    return QByteArray::fromRawData(m_frame.data(), int(size));
}

void KxBarcodeConsumerThread::run()
{
    refreshNoReads();
    m_timer.start();
    if (m_rfid)
        runTags();
    else
        runResults();
    emitBatch();
}

void KxBarcodeConsumerThread::runResults()
{
    while (!m_stop.load()) {
        const bool testMode = m_resultMode.load() == 1;
        const KxFrameSearch &search = testMode ? m_testSearch : m_kestorSearch;
        size_t size = 0;
        const KxFrameSearch::Outcome outcome = search.next(m_ring, m_frame.data(), &size);
        if (outcome == KxFrameSearch::Outcome::Frame) {
            m_frames.fetch_add(1);
            // A no-read message switched on a moment ago applies to the very next frame.
            refreshNoReads();
            if (testMode)
                m_parse.parseTestFrame(frameView(size));
            else
                m_parse.parseFrame(frameView(size));
        }
        if (m_timer.elapsed() > kBatchMs) {
            refreshNoReads();
            emitBatch();
            m_timer.restart();
        }
        if (outcome == KxFrameSearch::Outcome::Wait)
            QThread::msleep(1);
    }
}

void KxBarcodeConsumerThread::runTags()
{
    while (!m_stop.load()) {
        size_t size = 0;
        const KxFrameSearch::Outcome outcome = m_tagSearch.next(m_ring, m_frame.data(), &size);
        if (outcome == KxFrameSearch::Outcome::Frame) {
            m_frames.fetch_add(1);
            m_parse.parseTagFrame(frameView(size));
            if (m_parse.pendingTags() > kMaxTags) {
                qWarning() << "KxBarcodeConsumerThread::runTags()...tag list over" << kMaxTags
                           << ", dropped";
                m_parse.takeTags();
            }
        }
        if (m_timer.elapsed() > kBatchMs) {
            const QList<STRUCT_TAG_INFO> tags = m_parse.takeTags();
            if (!tags.isEmpty())
                emit tagsReceived(tags);
            m_timer.restart();
        }
        if (outcome == KxFrameSearch::Outcome::Wait)
            QThread::msleep(2);
    }
}

void KxBarcodeConsumerThread::emitBatch()
{
    bool graded = false;
    QList<STRUCT_BARCODE_INFO> barcodes = m_parse.takeBarcodes(&graded);
    if (!barcodes.isEmpty()) {
        if (!m_sn.isEmpty() || !m_ip.isEmpty() || !m_mac.isEmpty()) {
            for (STRUCT_BARCODE_INFO &info : barcodes) {
                if (info.sn.isEmpty())
                    info.sn = m_sn;
                if (info.ip.isEmpty())
                    info.ip = m_ip;
                if (info.mac.isEmpty())
                    info.mac = m_mac;
            }
        }
        emit batBarcodeReceived(barcodes, graded);
    }
    const QList<STRU_TEST_RESULT_INFO> tests = m_parse.takeTestResults();
    if (!tests.isEmpty())
        emit batTestResultReceived(tests);
    const QList<QByteArray> vision = m_parse.takeVisionResults();
    if (!vision.isEmpty())
        emit visionResultsReceived(vision);
    if (m_rfid) {
        const QList<STRUCT_TAG_INFO> tags = m_parse.takeTags();
        if (!tags.isEmpty())
            emit tagsReceived(tags);
    }
}
