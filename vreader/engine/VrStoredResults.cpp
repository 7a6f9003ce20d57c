#include "VrStoredResults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace {
constexpr int kHeader = 12;  // "KESTOR", u16 type, u32 length
constexpr quint16 kJsonType = 65281;
}  // namespace

void VrStoredResults::keep(const QList<QByteArray> &frames, const QDateTime &now)
{
    const QString time = now.toString(Qt::ISODateWithMs);
    for (const QByteArray &f : frames) {
        if (f.size() < kHeader || !f.startsWith("KESTOR"))
            continue;
        const auto *p = reinterpret_cast<const uchar *>(f.constData());
        if (qFromBigEndian<quint16>(p + 6) != kJsonType)
            continue;
        const quint32 len = qFromBigEndian<quint32>(p + 8);
        if (len > quint32(f.size() - kHeader))
            continue;
        const QJsonDocument msg = QJsonDocument::fromJson(f.mid(kHeader, int(len)));
        if (!msg.isObject())
            continue;
        QJsonObject record;
        record.insert(QStringLiteral("time"), time);
        record.insert(QStringLiteral("msg"), msg.object());
        m_records.push_back(QJsonDocument(record).toJson(QJsonDocument::Compact));
        if (int(m_records.size()) > kCapacity) {
            m_records.pop_front();
            ++m_lost;
        }
    }
}

QByteArray VrStoredResults::countText() const
{
    return QByteArray::number(count()) + ',' + QByteArray::number(kCapacity) + ','
        + QByteArray::number(m_lost);
}

QByteArray VrStoredResults::page(int first) const
{
    QByteArray out("[");
    int taken = 0;
    for (int i = qMax(0, first); i < count() && taken < kPageRecords; ++i) {
        const QByteArray &r = m_records[size_t(i)];
        if (taken > 0 && out.size() + r.size() + 2 > kPageBytes)
            break;
        if (taken > 0)
            out += ',';
        out += r;
        ++taken;
    }
    return out + ']';
}

bool VrStoredResults::clear(int n)
{
    if (n < 1 || n > count())
        return false;
    m_records.erase(m_records.begin(), m_records.begin() + n);
    if (m_records.empty())
        m_lost = 0;
    return true;
}
