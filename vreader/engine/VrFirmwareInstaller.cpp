#include "VrFirmwareInstaller.h"

using namespace KxFirmware;

Answer VrFirmwareInstaller::state(bool ok, int error) const
{
    Answer a;
    a.ok = ok;
    a.error = error;
    a.block = m_block;
    a.step = m_step;
    a.progress = m_progress;
    return a;
}

void VrFirmwareInstaller::keepEnds(const QByteArray &chunk)
{
    const qint64 end = m_received + chunk.size();
    const qint64 headEnd = qMin<qint64>(m_size, kHeadSize);
    if (m_received < headEnd)
        m_head.append(chunk.constData(), int(qMin(end, headEnd) - m_received));
    const qint64 tailAt = qMax<qint64>(0, m_size - 36);
    if (end > tailAt) {
        const qint64 from = qMax(tailAt, m_received);
        m_tail.append(chunk.constData() + (from - m_received), int(end - from));
    }
}

void VrFirmwareInstaller::abort()
{
    if (m_active)
        m_lastError = Communication;
    m_active = false;
    m_head = m_tail = QByteArray();
    m_sums.reset();
    m_received = 0;
    m_step = 0;
    m_progress = 0;
}

VrFirmwareInstaller::Result VrFirmwareInstaller::handle(const QByteArray &payload,
                                                        const SystemInfo &system)
{
    Result r;
    Request req;
    if (!parseRequest(payload, &req)) {
        r.answer = makeAnswer(state(false, InvalidFormat));
        r.log = QStringLiteral("firmware: malformed step");
        return r;
    }
    auto failTransfer = [&](int code, const QString &why) {
        m_active = false;
        m_head = m_tail = QByteArray();
        m_sums.reset();
        m_received = 0;
        m_lastError = code;
        r.answer = makeAnswer(state(false, code));
        r.log = QStringLiteral("firmware: %1 (error %2); old firmware kept").arg(why).arg(code);
    };
    switch (req.step) {
    case System: {
        Answer a = state(true, 0);
        a.extra = system.toJson();
        r.answer = makeAnswer(a);
        return r;
    }
    case State:
        r.answer = makeAnswer(state(true, m_lastError));
        return r;
    case Begin: {
        const qint64 size = qint64(req.begin.value("size").toDouble());
        m_name = req.begin.value("name").toString();
        m_strict = req.begin.value("strict").toInt(1) != 0;
        m_crc = quint32(req.begin.value("crc32").toDouble());
        m_block = 0;
        m_step = 1;
        m_progress = 0;
        if (size <= 0 || size > kMaxSize) {
            failTransfer(InvalidFormat, QStringLiteral("package size %1 refused").arg(size));
            return r;
        }
        m_size = size;
        m_received = 0;
        m_head = m_tail = QByteArray();
        m_sums = std::make_unique<RunningSums>(size);
        m_active = true;
        m_lastError = 0;
        r.answer = makeAnswer(state(true, 0));
        r.log = QStringLiteral("firmware: receiving %1 (%2 bytes, %3 mode)")
                    .arg(m_name).arg(size).arg(m_strict ? "strict" : "non-strict");
        return r;
    }
    case Data:
    case QuietData:
        // A quiet step that fails is told with the next answered one.
        r.silent = req.step == QuietData;
        if (!m_active) {
            r.answer = makeAnswer(state(false, m_lastError != 0 ? m_lastError : int(Communication)));
            return r;
        }
        if (qint64(req.offset) != m_received || m_received + req.chunk.size() > m_size) {
            failTransfer(Communication, QStringLiteral("chunk at %1 out of order").arg(req.offset));
            return r;
        }
        keepEnds(req.chunk);
        m_sums->add(req.chunk.constData(), req.chunk.size(), payload);
        m_received += req.chunk.size();
        m_step = 2;
        m_progress = int(m_received * 1000 / m_size);
        r.answer = makeAnswer(state(true, 0));
        return r;
    case End: {
        if (!m_active) {
            r.answer = makeAnswer(state(false, Communication));
            return r;
        }
        m_step = 3;
        if (m_received != m_size) {
            failTransfer(DataError, QStringLiteral("%1 of %2 bytes received").arg(m_received).arg(m_size));
            return r;
        }
        const FileSums sums = m_sums->finish();
        m_sums.reset();
        if (sums.crc != m_crc) {
            failTransfer(DataError, QStringLiteral("transfer checksum does not match"));
            return r;
        }
        Package pkg;
        QString why;
        if (!parsePackageEnds(m_head, m_tail, m_size, sums, &pkg, &why)) {
            failTransfer(InvalidFormat, why);
            return r;
        }
        m_block = pkg.header.block;
        const int mismatch = compareWithReader(pkg.header, system);
        if (mismatch != 0) {
            failTransfer(mismatch, QStringLiteral("package for %1 does not fit").arg(pkg.header.product));
            return r;
        }
        if (m_refuse != 0) {
            failTransfer(m_refuse, QStringLiteral("fault: package refused"));
            return r;
        }
        if (m_strict && !pkg.header.strictOk) {
            failTransfer(RefusedStrict, QStringLiteral("package %1 refused in strict mode").arg(pkg.header.version));
            return r;
        }
        m_active = false;
        m_head = m_tail = QByteArray();
        m_progress = 1000;
        m_lastError = 0;
        r.install = true;
        r.version = pkg.header.version;
        r.answer = makeAnswer(state(true, 0));
        r.log = QStringLiteral("firmware: %1 checked, installing").arg(pkg.header.version);
        return r;
    }
    }
    r.answer = makeAnswer(state(false, InvalidFormat));
    return r;
}
