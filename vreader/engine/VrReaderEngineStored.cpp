// Results kept while no client holds the reader: "WLSGET" hands them over a page at a time,
// "WLSCLR" removes the oldest ones once the client has them safe.
#include "VrReaderEngine.h"

void VrReaderEngine::keepOffline(const QList<QByteArray> &frames)
{
    if (!m_table->find(QStringLiteral("WLSBAT")) || runningValue(QStringLiteral("WLSBAT")) != "1")
        return;
    m_offline.keep(frames, QDateTime::currentDateTime());
}

bool VrReaderEngine::storedRequest(const QString &code, const QByteArray &value, Outcome *outcome,
                                   KxTagInfo *reply)
{
    const bool get = code == QLatin1String("WLSGET");
    if (!get && code != QLatin1String("WLSCLR"))
        return false;
    bool ok = false;
    const int n = value.isEmpty() && get ? 0 : value.toInt(&ok);
    if (get && (value.isEmpty() || (ok && n >= 0))) {
        *reply = tag(code, DataResult_Ack, m_offline.page(n));
        return true;
    }
    if (!get && ok && m_offline.clear(n)) {
        outcome->log << QStringLiteral("stored results: %1 cleared, %2 left").arg(n).arg(m_offline.count());
        *reply = tag(code, DataResult_Ack, value);
        return true;
    }
    outcome->log << QStringLiteral("refused %1%2").arg(code, QString::fromUtf8(value));
    *reply = tag(code, DataResult_Refused, QByteArray());
    return true;
}
