#include "VrReaderEngine.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamValue.h"
#include "KxNetGroupConfig.h"
#include "KxRequestParser.h"
#include "VrReaderCamera.h"
#include "VrScripting.h"
#include "VvCamera.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSaveFile>

namespace {

QJsonObject toJson(const QHash<QString, QByteArray> &values)
{
    QJsonObject o;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        o.insert(it.key(), QString::fromUtf8(it.value()));
    return o;
}

QHash<QString, QByteArray> fromJson(const QJsonObject &o)
{
    QHash<QString, QByteArray> out;
    for (auto it = o.begin(); it != o.end(); ++it)
        out.insert(it.key(), it.value().toString().toUtf8());
    return out;
}

const QStringList kGroupKeys = {"Gr En", "Gr Role", "Gr ID", "Gr Name", "Gr Mst SN", "Gr Mst MAC",
                                "Gr Mst IP", "Gr mode", "Gr sync mode", "Gr sync min",
                                "Gr sync max", "Gr slave"};
// Members a group under this reader as master may hold, the master included.
constexpr int kGroupMaxMembers = 8;

}  // namespace

VrReaderEngine::VrReaderEngine(QSharedPointer<const VrCommandTable> table,
                               const VrIdentity &identity, const QString &statePath)
    : m_table(std::move(table)), m_identity(identity), m_statePath(statePath)
{
    m_group.insert("Gr En", "0");
    m_group.insert("Gr Role", "0");
}

bool VrReaderEngine::loadState(QString *error)
{
    if (m_statePath.isEmpty() || !QFile::exists(m_statePath))
        return true;
    QFile f(m_statePath);
    QJsonParseError pe;
    const QJsonDocument doc = f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &pe)
                                                          : QJsonDocument();
    if (!doc.isObject()) {
        m_stateWritable = false;  // keep the damaged file for inspection
        if (error)
            *error = QStringLiteral("cannot read reader state %1").arg(m_statePath);
        return false;
    }
    const QJsonObject o = doc.object();
    m_stored = fromJson(o.value("stored").toObject());
    m_hasCustom = o.contains("custom");
    m_custom = fromJson(o.value("custom").toObject());
    const QJsonObject id = o.value("identity").toObject();
    if (m_identity.kind != VrIdentity::Serial) {
        m_identity.ip = id.value("Ip Address").toString(m_identity.ip);
        m_identity.mask = id.value("SubNetmask").toString(m_identity.mask);
        m_identity.gateway = id.value("Gateway Address").toString(m_identity.gateway);
        m_identity.dhcp = id.value("Use DHCP").toString(m_identity.dhcp);
    }
    m_alias = id.value("P Alias").toString();
    m_identity.firmware = id.value("Firmware Version").toString(m_identity.firmware);
    for (const QString &k : kGroupKeys) {
        if (id.contains(k))
            m_group.insert(k, id.value(k).toString());
    }
    m_running = m_stored;
    return true;
}

bool VrReaderEngine::saveState()
{
    if (m_statePath.isEmpty() || !m_stateWritable)
        return m_statePath.isEmpty();
    QJsonObject id;
    id.insert("Ip Address", m_identity.ip);
    id.insert("SubNetmask", m_identity.mask);
    id.insert("Gateway Address", m_identity.gateway);
    id.insert("Use DHCP", m_identity.dhcp);
    id.insert("P Alias", m_alias);
    id.insert("Firmware Version", m_identity.firmware);
    for (auto it = m_group.cbegin(); it != m_group.cend(); ++it)
        id.insert(it.key(), it.value());
    QJsonObject o;
    o.insert("model", m_identity.model);
    o.insert("stored", toJson(m_stored));
    if (m_hasCustom)
        o.insert("custom", toJson(m_custom));
    o.insert("identity", id);
    QSaveFile f(m_statePath);  // written whole or not at all
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(o).toJson());
    return f.commit();
}

bool VrReaderEngine::installFirmware(const QString &version)
{
    const QString old = m_identity.firmware;
    m_identity.firmware = version;
    if (saveState())
        return true;
    m_identity.firmware = old;  // not stored: the reader keeps booting the old firmware
    return false;
}

void VrReaderEngine::restart()
{
    m_running = m_stored;
    stopTools();
    if (m_rfid)
        m_rfid->stop();  // an inventory does not outlive a restart
}

QByteArray VrReaderEngine::runningValue(const QString &code) const
{
    const VrCommand *c = m_table->find(code);
    if (!c)
        return QByteArray();
    if (m_camera && code == QLatin1String("IMGGWH"))
        return cameraSensor();
    if (c->kind == VrCommand::ReadOnly)
        return readOnlyValue(code);
    const auto it = m_running.constFind(code);
    return it != m_running.cend() ? *it : defaultOf(*c);
}

QByteArray VrReaderEngine::storedValue(const QString &code) const
{
    const VrCommand *c = m_table->find(code);
    if (!c)
        return QByteArray();
    const auto it = m_stored.constFind(code);
    return it != m_stored.cend() ? *it : defaultOf(*c);
}

QByteArray VrReaderEngine::defaultOf(const VrCommand &c) const
{
    return c.defaultValue;
}

QByteArray VrReaderEngine::readOnlyValue(const QString &code) const
{
    if (code.startsWith(QLatin1String("ATLQ")) || code == QLatin1String("ATLPAS"))
        return learningValue(code);
    if (isToolValue(code))
        return toolValue(code);
    if (code == QLatin1String("PRNQRY")) {
        return QStringLiteral("Product Name:%1\r\nSerial Number:%2\r\nFirmware Version:%3\r\n"
                              "MAC Address:%4\r\nHardware Version:VR-1")
            .arg(m_identity.model, m_identity.serial, m_identity.firmware, m_identity.mac)
            .toUtf8();
    }
    if (code == QLatin1String("IDNQRY"))
        return infoJson();
    if (code == QLatin1String("DBGCNT"))
        return counters();
    if (code == QLatin1String("WLSCNT"))
        return m_offline.countText();
    if (code == QLatin1String("BUFQRY"))
        return QByteArray::number(m_bufferSize);
    if (code == QLatin1String("DIFQRY"))
        return differences().value();
    if (code == QLatin1String("DFMQFA"))
        return m_table->find(QStringLiteral("DFMADD")) ? runningValue(QStringLiteral("DFMADD")) : QByteArray();
    if (code == QLatin1String("DFMQCU"))
        return m_table->find(QStringLiteral("DFMADD")) ? storedValue(QStringLiteral("DFMADD")) : QByteArray();
    if (code == QLatin1String("SCRQFN") || code == QLatin1String("SCRQAA") || code == QLatin1String("LUAQAS")
        || code == QLatin1String("LUAQAA"))
        return VrScripting::functionList();
    if (code == QLatin1String("LUAQRY"))
        return m_table->find(QStringLiteral("LUAADD")) ? runningValue(QStringLiteral("LUAADD")) : QByteArray();
    const VrCommand *c = m_table->find(code);
    return c ? c->defaultValue : QByteArray();
}

KxTagInfo VrReaderEngine::tag(const QString &code, int result, const QByteArray &value) const
{
    KxTagInfo t;
    t.code = code;
    t.result = result;
    t.subTags.append({QString(), result, value});
    const VrCommand *c = m_table->find(code);
    const bool tagged = c && (c->kind == VrCommand::ReadOnly || code == QLatin1String("IMGGWH"));
    if (result == DataResult_Ack && tagged && code != QLatin1String("PRNQRY")
        && code != QLatin1String("IDNQRY") && code != QLatin1String("DIFQRY")) {
        for (const auto &p : KxSplitLetterTags(value)) {
            if (!p.first.isEmpty() && p.first.size() <= KxProtocol::MaxSubTagName)
                t.subTags.append({p.first, DataResult_Ack, p.second});
        }
    }
    return t;
}

// The settings whose running value is not the stored one, in table order: the main value names
// them, one sub-tag per code holds its stored value.
KxTagInfo VrReaderEngine::differences() const
{
    KxTagInfo t;
    t.code = QStringLiteral("DIFQRY");
    QByteArrayList codes;
    QList<KxSubTag> stored;
    // Only a value set at some time can differ: both sides are the table's default otherwise
    // (the camera's sensor size excepted). The list asks for every value, so this is its cost.
    QSet<QString> touched;
    for (auto it = m_running.cbegin(); it != m_running.cend(); ++it)
        touched.insert(it.key());
    for (auto it = m_stored.cbegin(); it != m_stored.cend(); ++it)
        touched.insert(it.key());
    if (m_camera)
        touched.insert(QStringLiteral("IMGGWH"));
    for (const QString &code : m_table->codes()) {
        if (!touched.contains(code))
            continue;
        const VrCommand *c = m_table->find(code);
        if (c->kind != VrCommand::Setting)
            continue;
        const QByteArray kept = storedValue(code);
        if (runningValue(code) == kept)
            continue;
        codes << code.toLatin1();
        stored.append({code, DataResult_Ack, kept});
    }
    t.subTags.append({QString(), DataResult_Ack, codes.join(',')});
    t.subTags.append(stored);
    return t;
}

// The format of the model's counter item: reads "N", good reads "M", time in ms "T"; the
// no-reads are the difference of the first two.
QByteArray VrReaderEngine::counters() const
{
    return QByteArray::number(m_reads) + 'N' + QByteArray::number(m_goodReads) + 'M'
        + QByteArray::number(m_readMs) + 'T';
}

void VrReaderEngine::simulateRead()
{
    ++m_reads;
    m_readMs += kSimulatedReadMs;
    if (m_noReadEvery <= 0 || m_reads % quint64(m_noReadEvery) != 0)
        ++m_goodReads;
}

VrReaderEngine::Outcome VrReaderEngine::handleFrame(const QByteArray &frame)
{
    Outcome out;
    QString error;
    if (frame.size() > 1 && frame[1] == char(KxFrame::TextRequest)) {
        KxSettingsRequest request;
        if (!KxParseSettingsRequest(frame, &request, &error)) {
            out.reply = KxMakeRejectedReply(error);
            return out;
        }
        return handleSettings(request);
    }
    quint8 kind = 0;
    QByteArray payload;
    if (!KxFrame::decode(frame, &kind, &payload, &error)) {
        out.reply = KxMakeRejectedReply(error);
        return out;
    }
    if (kind == KxFrame::BinaryRequest) {
        KxSettingsRequest request;
        if (!KxParseBinarySettingsRequest(payload, &request, &error)) {
            out.reply = KxMakeRejectedReply(error);
            return out;
        }
        return handleSettings(request);
    }
    if (kind == KxFrame::VisionCall) {
        QString code;
        QByteArray json;
        if (!KxParseVisionCall(payload, &code, &json, &error)) {
            out.reply = KxMakeRejectedReply(error);
            return out;
        }
        return handleVision(code, json);
    }
    out.reply = KxMakeRejectedReply(QStringLiteral("unexpected frame kind"));
    return out;
}

VrReaderEngine::Outcome VrReaderEngine::handleSettings(const KxSettingsRequest &request)
{
    Outcome out;
    QByteArray capsKey, defaultsKey, valuesKey;
    if (request.allQuery == '^' && m_refused.isEmpty()) {
        capsKey = QByteArray(1, request.prefix) + QByteArray::number(quintptr(m_table.data()))
            + ':' + QByteArray::number(m_bufferSize);
        if (capsKey == m_capsKey) {
            out.reply = m_capsReply;
            return out;
        }
    } else if (request.allQuery == '&' && m_refused.isEmpty()) {
        if (m_liveTable != m_table.data()) {
            m_liveTable = m_table.data();
            m_liveCodes.clear();
            for (const QString &code : m_table->codes())
                if (isLiveDefault(*m_table->find(code), code))
                    m_liveCodes << code;
        }
        defaultsKey = QByteArray(1, request.prefix) + QByteArray::number(quintptr(m_table.data()));
        for (const QString &code : qAsConst(m_liveCodes)) {
            const QByteArray v = readOnlyValue(code);
            defaultsKey += '\0' + QByteArray::number(v.size()) + ':' + v;
        }
        if (defaultsKey == m_defaultsKey) {
            out.reply = m_defaultsReply;
            return out;
        }
    } else if (request.allQuery == '*' && m_refused.isEmpty() && !m_emptyQueryAll && !m_rfid) {
        // The values list depends on the set values, the stored ones (for the differences item),
        // the live values and the camera's sensor: all of them, written out, are the key, so an
        // equal key means an equal list.
        if (m_readOnlyTable != m_table.data()) {
            m_readOnlyTable = m_table.data();
            m_readOnlyCodes.clear();
            for (const QString &code : m_table->codes()) {
                const VrCommand *c = m_table->find(code);
                if (c->kind == VrCommand::ReadOnly && VrCommandTable::hasValue(*c)
                    && code != QLatin1String("DIFQRY"))
                    m_readOnlyCodes << code;
            }
        }
        auto put = [&valuesKey](const QByteArray &v) {
            valuesKey += QByteArray::number(v.size()) + ':' + v;
        };
        valuesKey = QByteArray(1, request.prefix) + QByteArray::number(quintptr(m_table.data()));
        for (const auto *map : {&m_running, &m_stored}) {
            valuesKey += '|' + QByteArray::number(map->size());
            for (auto it = map->cbegin(); it != map->cend(); ++it) {
                put(it.key().toUtf8());
                put(it.value());
            }
        }
        valuesKey += '|';
        for (const QString &code : qAsConst(m_readOnlyCodes))
            put(readOnlyValue(code));
        if (m_camera)
            put(cameraSensor());
        if (valuesKey == m_valuesKey) {
            out.reply = m_valuesReply;
            return out;
        }
    }
    KxSettingsReply reply;
    reply.prefix = request.prefix;
    if (request.allQuery == '*' && m_emptyQueryAll) {
        out.log << QStringLiteral("fault: empty answer to %1*").arg(QLatin1Char(request.prefix));
    } else if (request.allQuery) {
        for (const QString &code : m_table->codes()) {
            // Values are listed for every command that has one; the reader's own actions have
            // none and show only among the capabilities. Page buttons keep their page values.
            if (request.allQuery == '^' || VrCommandTable::hasValue(*m_table->find(code)))
                reply.tags.append(answer(request.prefix, request.allQuery, code, {}, false, &out));
        }
    } else {
        for (const KxRequestItem &item : request.items)
            reply.tags.append(answer(request.prefix, item.query, item.code, item.value,
                                     item.hasValue, &out));
    }
    reply.extendData = out.extendData;
    reply.extendInfo = out.extendInfo;
    out.reply = KxMakeSettingsReply(reply);
    if (out.extendData.isEmpty() && out.extendInfo.isEmpty()) {
        if (!capsKey.isEmpty()) {
            m_capsKey = capsKey;
            m_capsReply = out.reply;
        } else if (!defaultsKey.isEmpty()) {
            m_defaultsKey = defaultsKey;
            m_defaultsReply = out.reply;
        } else if (!valuesKey.isEmpty() && out.log.isEmpty()) {
            m_valuesKey = valuesKey;
            m_valuesReply = out.reply;
        }
    }
    return out;
}

KxTagInfo VrReaderEngine::answer(char prefix, char query, const QString &code,
                                 const QByteArray &value, bool hasValue, Outcome *outcome)
{
    const VrCommand *c = m_table->find(code);
    if (m_camera && !query && VrReaderCamera::isImageCode(code))
        return answerImage(code, value, outcome);
    if (!c)
        return tag(code, DataResult_Unknown, QByteArray());
    if (code == m_refused)
        return tag(code, DataResult_Refused, QByteArray());
    if (query == '^') {
        // The buffer size is its own capability: clients read the number from either list.
        if (code == QLatin1String("BUFQRY"))
            return tag(code, DataResult_Ack, readOnlyValue(code));
        return tag(code, DataResult_Ack, c->capabilityText.isEmpty()
                                             ? VrCommandTable::capability(*c)
                                             : c->capabilityText);
    }
    if (query == '&')
        return tag(code, DataResult_Ack, isLiveDefault(*c, code) ? readOnlyValue(code) : defaultOf(*c));
    KxTagInfo rfidReply;
    if (m_rfid && rfidRequest(prefix, query, code, value, hasValue, outcome, &rfidReply))
        return rfidReply;
    const bool isQuery = query == '*' || (!hasValue && c->kind != VrCommand::Action);
    if (isQuery && code == QLatin1String("DIFQRY"))
        return differences();
    if (isQuery)
        return tag(code, DataResult_Ack, runningValue(code));
    KxTagInfo storedReply;
    if (storedRequest(code, value, outcome, &storedReply))
        return storedReply;
    KxTagInfo toolReply;
    if (toolRequest(prefix, code, value, outcome, &toolReply))
        return toolReply;
    if (c->kind == VrCommand::Action) {
        // Acknowledged with what was sent, so a client's check of the echo holds for actions.
        const bool ok = runAction(prefix, code, outcome);
        return tag(code, ok ? DataResult_Ack : DataResult_Refused, value);
    }
    if (code == QLatin1String("MPCADD"))
        return writeConfigSet(prefix, value, outcome);
    if (c->kind == VrCommand::ReadOnly || !c->rule.accepts(QString::fromUtf8(value))) {
        outcome->log << QStringLiteral("refused %1%2").arg(code, QString::fromUtf8(value));
        return tag(code, DataResult_Refused, runningValue(code));
    }
    m_running.insert(code, value);
    if (prefix == '@') {
        m_stored.insert(code, value);
        saveState();
    }
    if (code == QLatin1String("SCNTRG") && value == "1")
        read(outcome);
    cameraSetting(prefix, code, value, outcome);
    outcome->log << QStringLiteral("%1%2%3").arg(QLatin1Char(prefix)).arg(code, QString::fromUtf8(value));
    return tag(code, DataResult_Ack, value);
}

// In the defaults list ("&"), a live value described by the pages has the page's default (the
// counters' zero) and a fresh reader has no unsaved differences; other live values are current.
bool VrReaderEngine::isLiveDefault(const VrCommand &c, const QString &code)
{
    return c.kind == VrCommand::ReadOnly && !c.fromPages && code != QLatin1String("DIFQRY");
}

bool VrReaderEngine::runAction(char prefix, const QString &code, Outcome *outcome)
{
    auto dropWhere = [this](bool communication) {
        for (auto *map : {&m_stored, &m_running}) {
            for (auto it = map->begin(); it != map->end();) {
                const bool comm = VrCommandTable::isCommunicationCode(it.key());
                it = comm == communication ? map->erase(it) : std::next(it);
            }
        }
    };
    if (code == QLatin1String("CUSSAV")) {
        m_custom = m_running;
        m_hasCustom = true;
        return saveState() || m_statePath.isEmpty();
    }
    if (code == QLatin1String("DBGCNC")) {
        m_reads = m_goodReads = m_readMs = 0;
        return true;
    }
    if (code == QLatin1String("SCNITG")) {
        read(outcome);
        return true;
    }
    if (code == QLatin1String("DFMCAL")) {
        // "#" clears the running formats, "@" the stored ones as well.
        outcome->log << QStringLiteral("%1DFMCAL").arg(QLatin1Char(prefix));
        m_running.remove(QStringLiteral("DFMADD"));
        if (prefix == '@') {
            m_stored.remove(QStringLiteral("DFMADD"));
            return saveState() || m_statePath.isEmpty();
        }
        return true;
    }
    if (code == QLatin1String("CUSDEF")) {
        if (!m_hasCustom)
            return false;
        m_stored = m_custom;
    } else if (code == QLatin1String("FACDEF") || code == QLatin1String("INCFMC")) {
        m_stored.clear();
    } else if (code == QLatin1String("INCFCM")) {
        dropWhere(true);
    } else if (code == QLatin1String("INCFOT")) {
        dropWhere(false);
    } else if (code != QLatin1String("REBOOT")) {
        return false;
    }
    saveState();
    outcome->restart = true;
    outcome->log << QStringLiteral("%1: restarting").arg(code);
    return true;
}


QMap<QString, QString> VrReaderEngine::infoMap() const
{
    QMap<QString, QString> m;
    m.insert("Product Name", m_identity.model);
    m.insert("Serial Number", m_identity.serial);
    m.insert("MAC Address", m_identity.mac);
    m.insert("Firmware Version", m_identity.firmware);
    m.insert("PRNQRY", QString::fromUtf8(readOnlyValue(QStringLiteral("PRNQRY"))));
    m.insert("Is Connected To Configtool", m_configtool ? "1" : "0");
    m.insert("Online", "1");
    if (m_identity.kind == VrIdentity::Serial) {
        m.insert("Device Type", "USB CDC");
        m.insert("COM Type", "1");
        return m;
    }
    m.insert("Ip Address", m_identity.ip);
    m.insert("SubNetmask", m_identity.mask);
    m.insert("Gateway Address", m_identity.gateway);
    m.insert("Use DHCP", m_identity.dhcp);
    m.insert("Cmd Port", QString::number(m_identity.cmdPort));
    m.insert("Log Port", QString::number(m_identity.logPort));
    for (const char *k : {"NETDEN", "NETLPA", "NETSMK", "NETGIP"})
        m.insert(k, "1");
    m.insert("P Alias", m_alias);
    m.insert("Supp Blink Notify", "1");
    if (m_identity.kind == VrIdentity::Camera) {
        m.insert("ZUI SUPPORT", "1");
        m.insert("resId", m_identity.model);
        return m;
    }
    if (m_rfid)
        m.insert("rfid", "1");
    m.insert("Supp Gr", "1");
    m.insert("Gr Max", QString::number(kGroupMaxMembers));
    m.insert("Gr Gr Max", QString::number(kGroupMaxMembers));
    for (auto it = m_group.cbegin(); it != m_group.cend(); ++it)
        m.insert(it.key(), it.value());
    return m;
}

QByteArray VrReaderEngine::infoJson() const
{
    QJsonObject o;
    const auto map = infoMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        o.insert(it.key(), it.value());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

KxDiscovery::Datagram VrReaderEngine::information(quint32 transaction) const
{
    KxDiscovery::Datagram d;
    d.type = KxDiscovery::Information;
    d.transaction = transaction;
    d.fields = infoMap();
    return d;
}

bool VrReaderEngine::applyGroup(const QString &text, QString *reason)
{
    // Only a text the program could have written is taken; anything else changes nothing.
    KxNetGroupConfig::Entry e;
    if (!KxNetGroupConfig::parse(text, &e, reason))
        return false;
    if (e.self.sn != m_identity.serial
        || e.self.mac.compare(m_identity.mac, Qt::CaseInsensitive) != 0) {
        *reason = QStringLiteral("the text names another reader");
        return false;
    }
    if (e.role == KxNetGroupConfig::Role::Master && e.slaves.size() + 1 > kGroupMaxMembers) {
        *reason = QStringLiteral("more members than the reader accepts");
        return false;
    }
    for (const QString &k : kGroupKeys)
        m_group.remove(k);
    const auto keys = KxNetGroupConfig::infoKeys(e);
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        m_group.insert(it.key(), it.value());
    return true;
}

VrReaderEngine::DiscoveryOutcome VrReaderEngine::handleDatagram(const KxDiscovery::Datagram &req)
{
    DiscoveryOutcome out;
    if (req.type == KxDiscovery::Search) {
        out.replies << information(req.transaction);
        return out;
    }
    if (KxDiscovery::isResultType(req.type) || req.type == KxDiscovery::Information)
        return out;
    if (req.fields.value("Serial Number") != m_identity.serial
        || req.fields.value("MAC Address").compare(m_identity.mac, Qt::CaseInsensitive) != 0)
        return out;  // for another reader
    bool ok = true;
    switch (req.type) {
    case KxDiscovery::NetworkRequest: {
        const QString dhcp = req.fields.value("Use DHCP", "0");
        if (dhcp == QLatin1String("1")) {
            m_identity.dhcp = dhcp;  // no DHCP server on loopback: the address stays
            break;
        }
        const QHostAddress ip(req.fields.value("Ip Address"));
        const QHostAddress mask(req.fields.value("SubNetmask"));
        ok = ip.protocol() == QAbstractSocket::IPv4Protocol && ip.isInSubnet(QHostAddress::LocalHost, 8)
            && ip != QHostAddress(QHostAddress::LocalHost) && !mask.isNull();
        if (ok) {
            out.moved = ip.toString() != m_identity.ip;
            m_identity.ip = ip.toString();
            m_identity.mask = mask.toString();
            m_identity.gateway = req.fields.value("Gateway Address", m_identity.gateway);
            m_identity.dhcp = "0";
        }
        out.log << QStringLiteral("network settings %1: %2").arg(ok ? "applied" : "refused",
                                                                 req.fields.value("Ip Address"));
        break;
    }
    case KxDiscovery::AliasRequest:
        m_alias = req.fields.value("L Alias");
        out.log << QStringLiteral("alias set to \"%1\"").arg(m_alias);
        break;
    case KxDiscovery::GroupRequest: {
        QString reason = QStringLiteral("not a fixed-mount reader");
        ok = m_identity.kind == VrIdentity::FixedMount
            && applyGroup(req.fields.value("config"), &reason);
        out.log << (ok ? QStringLiteral("group configuration applied")
                       : QStringLiteral("group configuration refused: %1").arg(reason));
        break;
    }
    case KxDiscovery::BlinkRequest:
        out.log << QStringLiteral("blink");
        break;
    default:
        return out;
    }
    if (ok && req.type != KxDiscovery::BlinkRequest)
        ok = saveState();
    KxDiscovery::Datagram result;
    result.type = quint8(req.type + 1);
    result.transaction = req.transaction;
    result.fields.insert("Serial Number", m_identity.serial);
    result.fields.insert("MAC Address", m_identity.mac);
    result.result = ok ? KxDiscovery::Result_Success : KxDiscovery::Result_Failure;
    out.replies << result;
    return out;
}
