#include "StoredDataSession.h"

#include "KxDeviceCommand.h"
#include "KxDeviceConfigs.h"

#include <QDebug>

namespace {
QHash<QString, QString> symbologyNames()
{
    QHash<QString, QString> names;
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    if (configs && configs->load()) {
        for (const KxSymbology &s : configs->symbologies())
            names.insert(s.value, s.name);
    }
    return names;
}
}  // namespace

StoredDataSession::StoredDataSession(KxDeviceCommand *cmd, QObject *parent)
    : QObject(parent)
    , m_cmd(cmd)
{
}

StoredDataSession::~StoredDataSession()
{
    cancel();
}

bool StoredDataSession::supported(KxDeviceCommand *cmd)
{
    return cmd && cmd->hasCmd(QStringLiteral("WLSBAT")) && cmd->hasCmd(QStringLiteral("WLSCNT"))
        && cmd->hasCmd(QStringLiteral("WLSGET")) && cmd->hasCmd(QStringLiteral("WLSCLR"));
}

void StoredDataSession::cancel()
{
    if (m_cancel)
        *m_cancel = true;
}

bool StoredDataSession::fetch()
{
    if (m_busy || !m_cmd)
        return false;
    m_busy = true;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    auto cancelled = m_cancel;
    auto got = std::make_shared<QList<StoredResult>>();
    auto count = std::make_shared<StoredCount>();
    const QHash<QString, QString> names = symbologyNames();
    QPointer<StoredDataSession> self(this);
    m_cmd->asyncProcess(
        [cancelled, got, count, names](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray v;
            if (!c || c->query(1, QStringLiteral("@WLSCNT*"), v) != DataResult_Ack
                || !StoredResults::parseCount(v, count.get())) {
                out.insert(QStringLiteral("error"), "the reader did not tell how many results it holds");
                return out;
            }
            // Every page holds at least one result, so this many requests always suffice.
            for (int pages = 0; got->size() < count->count && pages <= count->count; ++pages) {
                if (*cancelled) {
                    out.insert(QStringLiteral("error"), "cancelled");
                    return out;
                }
                if (c->query(1, QStringLiteral("#WLSGET"), v, QByteArray::number(got->size())) != DataResult_Ack) {
                    out.insert(QStringLiteral("error"), "the reader did not hand over its results");
                    return out;
                }
                QString why;
                const int before = got->size();
                if (!StoredResults::parsePage(v, names, got.get(), &why)) {
                    out.insert(QStringLiteral("error"), why.toUtf8());
                    return out;
                }
                if (got->size() == before)
                    break;  // the reader holds fewer than it said (cleared by someone else)
            }
            if (got->size() != count->count)
                out.insert(QStringLiteral("error"), QStringLiteral("%1 of %2 results came").arg(got->size()).arg(count->count).toUtf8());
            return out;
        },
        [self, got, count](KxDeviceCommandPtr, QMap<QString, QByteArray> out) {
            if (!self)
                return;
            self->m_busy = false;
            const QString error = QString::fromUtf8(out.value(QStringLiteral("error")));
            if (error.isEmpty()) {
                self->m_results = *got;
                self->m_count = *count;
            }
            emit self->fetched(error.isEmpty(), error);
        });
    return true;
}

bool StoredDataSession::clearFetched()
{
    if (m_busy || !m_cmd || m_results.isEmpty())
        return false;
    m_busy = true;
    const QByteArray n = QByteArray::number(m_results.size());
    QPointer<StoredDataSession> self(this);
    m_cmd->asyncProcess(
        [n](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray v;
            if (!c || c->query(1, QStringLiteral("#WLSCLR"), v, n) != DataResult_Ack || v != n)
                out.insert(QStringLiteral("error"), "the reader did not clear its results");
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> out) {
            if (!self)
                return;
            self->m_busy = false;
            const QString error = QString::fromUtf8(out.value(QStringLiteral("error")));
            if (error.isEmpty()) {
                self->m_results.clear();
                self->m_count.count = 0;
            }
            emit self->cleared(error.isEmpty(), error);
        });
    return true;
}
