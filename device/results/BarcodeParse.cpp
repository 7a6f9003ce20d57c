#include "BarcodeParse.h"

#include <QtEndian>

#include <cjson/cJSON.h>

#include <cstdlib>
#include <cstring>
#include <memory>

constexpr char BarcodeParse::kRecordMarker[2];
constexpr char BarcodeParse::kTestMarker[2];

namespace {
constexpr int kKestorHeader = 12;
constexpr quint16 kSingle = 4128, kText = 4129, kTextOld = 2081, kTest = 4133, kJson = 65281;
constexpr quint16 kVision = 4160;
constexpr int kMaxVisionResults = 64;  // kept until taken; older ones go first

const QByteArray &barcodeDataKey()
{
    static const QByteArray k("Barcode Data");
    return k;
}

// Records after a marker: marker, one byte, u16 big-endian length, that many bytes. A record
// that would run past the end stops the split.
QList<QByteArray> splitRecords(const QByteArray &bytes, int from, const char *marker)
{
    QList<QByteArray> out;
    const QByteArray m(marker, 2);
    int pos = from;
    while (pos < bytes.size()) {
        const int at = bytes.indexOf(m, pos);
        if (at < 0 || at + 5 > bytes.size())
            break;
        const int len = qFromBigEndian<quint16>(bytes.constData() + at + 3);
        if (at + 5 + len > bytes.size())
            break;
        out.append(QByteArray(bytes.constData() + at + 5, len));
        pos = at + 5 + len;
    }
    return out;
}

bool isDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

struct JsonDeleter
{
    void operator()(cJSON *j) const { cJSON_Delete(j); }
};

double number(const cJSON *obj, const char *key, bool *ok = nullptr)
{
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(obj, key);
    if (ok)
        *ok = cJSON_IsNumber(item);
    return cJSON_IsNumber(item) ? item->valuedouble : 0.0;
}

QString text(const cJSON *obj, const char *key)
{
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(obj, key);
    if (cJSON_IsString(item) && item->valuestring)
        return QString::fromUtf8(item->valuestring);
    if (cJSON_IsNumber(item))
        return QString::number(item->valueint);
    return QString();
}

template <typename R>
bool readGrades(const cJSON *quality, const char *name, R &record)
{
    const cJSON *obj = cJSON_GetObjectItemCaseSensitive(quality, name);
    if (!cJSON_IsObject(obj))
        return false;
    record.present = true;
    const auto &keys = R::keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        const cJSON *g = cJSON_GetObjectItemCaseSensitive(obj, keys[i]);
        if (cJSON_IsNumber(g))
            record.grades[i] = g->valueint;
    }
    return true;
}

QString gradeLetter(int grade)
{
    static const char *letters[] = {"F", "D", "C", "B", "A"};
    if (grade < 0 || grade > 4)
        return QString();
    return QLatin1String(letters[grade]);
}
}  // namespace

BarcodeParse::BarcodeParse(QObject *parent) : QObject(parent)
{
    kxRegisterResultTypes();
}

void BarcodeParse::setSymbologyNames(const QHash<QString, QString> &names)
{
    m_symbologies = names;
    m_symbologyById.clear();
}

QString BarcodeParse::twoDecimalsCached(double v)
{
    const qint64 key = qRound64(v * 100.0);
    auto it = m_decimalTexts.constFind(key);
    if (it != m_decimalTexts.constEnd())
        return it.value();
    if (m_decimalTexts.size() > 4096)
        m_decimalTexts.clear();
    return m_decimalTexts.insert(key, twoDecimals(v)).value();
}

QString BarcodeParse::symbologyOf(int codeId)
{
    auto it = m_symbologyById.constFind(codeId);
    if (it != m_symbologyById.constEnd())
        return it.value();
    if (m_symbologyById.size() > 4096)
        m_symbologyById.clear();
    const QString name = symbologyName(QStringLiteral("%1").arg(codeId, 3, 10, QLatin1Char('0')));
    return m_symbologyById.insert(codeId, name).value();
}

QString BarcodeParse::intText(int v)
{
    auto it = m_intTexts.constFind(v);
    if (it != m_intTexts.constEnd())
        return it.value();
    if (m_intTexts.size() > 4096)
        m_intTexts.clear();
    return m_intTexts.insert(v, QString::number(v)).value();
}

QString BarcodeParse::symbologyName(const QString &codeId) const
{
    const auto it = m_symbologies.constFind(codeId);
    return it == m_symbologies.constEnd() ? codeId : it.value();
}

QList<QByteArray> BarcodeParse::noReadMessages(const QByteArray &ngrEna, const QByteArray &ngrSet,
                                               const QByteArray &tsuEna, const QByteArray &tsuSet)
{
    QList<QByteArray> out;
    if (ngrEna.trimmed() != "1")
        return out;
    const QByteArray first = QByteArray::fromHex(ngrSet.trimmed());
    out.append(first);
    if (tsuEna.trimmed() == "1")
        out.append(first + QByteArray::fromHex(tsuSet.trimmed()));
    return out;
}

QString BarcodeParse::scoreLetter(int score)
{
    if (score >= 85)
        return QStringLiteral("A");
    if (score >= 70)
        return QStringLiteral("B");
    if (score >= 55)
        return QStringLiteral("C");
    if (score >= 1)
        return QStringLiteral("D");
    return QString();
}

STRUCT_BARCODE_INFO BarcodeParse::plainBarcode(const QByteArray &data) const
{
    STRUCT_BARCODE_INFO info;
    info.data = data;
    info.length = data.size();
    info.goodRead = !isNoRead(data);
    info.score = QStringLiteral("0.00");
    info.valid = true;
    return info;
}

bool BarcodeParse::parseFrame(const QByteArray &frame)
{
    if (frame.size() < 8)
        return false;
    const quint16 type = qFromBigEndian<quint16>(frame.constData() + 6);
    // A view of the frame: what is kept is copied out of it.
    const QByteArray payload = frame.size() > kKestorHeader
        ? QByteArray::fromRawData(frame.constData() + kKestorHeader, frame.size() - kKestorHeader)
        : QByteArray();
    switch (type) {
    case kSingle:
        m_barcodes.append(plainBarcode(QByteArray(payload.constData(), payload.size())));
        return true;
    case kText:
    case kTextOld: {
        bool any = false;
        for (const QByteArray &record : splitTextMessage(payload)) {
            STRUCT_BARCODE_INFO info;
            if (parseText(record, info)) {
                m_barcodes.append(info);
                any = true;
            }
        }
        return any;
    }
    case kTest:
        return parseTestMessage(frame);
    case kJson:
        return parseJson(payload);
    case kVision:
        // A camera's run or test result: handed on whole to whoever shows it.
        if (payload.isEmpty())
            return false;
        if (m_visionResults.size() >= kMaxVisionResults)
            m_visionResults.removeFirst();
        m_visionResults.append(QByteArray(payload.constData(), payload.size()));
        return true;
    default:
        return false;
    }
}

QList<QByteArray> BarcodeParse::splitTextMessage(const QByteArray &payload)
{
    static const QByteArray lenKey("Total Barcode Length");
    static const QByteArray dataKey("Total Barcode Data");
    const int lenAt = payload.indexOf(lenKey);
    const int dataAt = payload.indexOf(dataKey);
    if (lenAt < 0 || dataAt < 0)
        return {};
    const int digits = lenAt + lenKey.size() + 1;  // after the separator
    const int semi = payload.indexOf(';', digits);
    if (semi < 0 || semi > dataAt + 19)
        return {};
    if (!isDigits(payload.mid(digits, semi - digits)))
        return {};
    return splitRecords(payload, dataAt + dataKey.size(), kRecordMarker);
}

bool BarcodeParse::parseText(const QByteArray &record, STRUCT_BARCODE_INFO &out,
                             QMap<QString, QByteArray> *itemsOut) const
{
    const int at = record.indexOf(barcodeDataKey());
    if (at < 0)
        return false;
    QMap<QString, QByteArray> items;
    const QByteArray head = record.left(at);
    for (const QByteArray &item : head.split(';')) {
        const QList<QByteArray> parts = item.split('=');
        if (parts.size() != 2)
            continue;
        items.insert(QString::fromUtf8(parts[0].trimmed()), parts[1]);
    }
    // The data follows the key and one separator; the record's last byte ends it.
    const int start = at + barcodeDataKey().size() + 1;
    const int len = record.size() - start - 1;
    out = STRUCT_BARCODE_INFO();
    out.data = len > 0 ? QByteArray(record.constData() + start, len) : QByteArray();
    out.goodRead = !isNoRead(out.data);
    out.symbology = symbologyName(QString::fromUtf8(items.value(QStringLiteral("Barcode Symbology ID"))));
    out.ppm = QString::fromUtf8(items.value(QStringLiteral("Barcode PPM")));
    bool ok = false;
    const int ai = items.value(QStringLiteral("Barcode AI")).toInt(&ok);
    out.ai = ok ? ai : -1;
    out.cfgLibId = QString::fromUtf8(items.value(QStringLiteral("CfgLibId")));
    const QByteArray time = items.value(QStringLiteral("Barcode Time"));
    out.decodeTime = time.toDouble(&ok);
    out.decodeTimeText = ok ? twoDecimals(out.decodeTime) : QString::fromUtf8(time);
    const int length = items.value(QStringLiteral("Barcode Length")).toInt(&ok);
    out.length = ok ? length : out.data.size();
    const double score = items.value(QStringLiteral("Barcode Score")).toDouble(&ok);
    out.score = twoDecimals(ok ? score : 0.0);
    out.quality = QString::fromUtf8(items.value(QStringLiteral("Barcode Quality")));
    const qint64 seq = items.value(QStringLiteral("Read Seq")).toLongLong(&ok);
    out.seq = ok ? seq : -1;
    out.valid = true;
    if (itemsOut)
        *itemsOut = items;
    return true;
}

bool BarcodeParse::testRecord(const QByteArray &record, STRU_TEST_RESULT_INFO &out) const
{
    QMap<QString, QByteArray> items;
    out = STRU_TEST_RESULT_INFO();
    if (!parseText(record, out.item.barcode, &items))
        return false;
    out.item.role = QString::fromUtf8(items.value(QStringLiteral("Gr Role")));
    out.item.ownerSn = QString::fromUtf8(items.value(QStringLiteral("Owner SN")));
    out.item.ownerMac = QString::fromUtf8(items.value(QStringLiteral("Owner MAC")));
    out.item.ownerIp = QString::fromUtf8(items.value(QStringLiteral("Owner IP")));
    out.item.barcode.sn = out.item.ownerSn;
    out.item.barcode.mac = out.item.ownerMac;
    out.item.barcode.ip = out.item.ownerIp;
    const auto verdict = items.constFind(QStringLiteral("Test Result"));
    out.ok = verdict != items.constEnd()
        ? verdict.value().trimmed() == "OK"
        : out.item.barcode.goodRead && !out.item.barcode.data.isEmpty();
    out.readRate = QString::fromUtf8(items.value(QStringLiteral("Read Rate")));
    out.matchingLevel = QString::fromUtf8(items.value(QStringLiteral("Match Level")));
    out.aiPosition = QString::fromUtf8(items.value(QStringLiteral("AI Position")));
    out.valid = true;
    return true;
}

bool BarcodeParse::parseTestMessage(const QByteArray &frame)
{
    bool any = false;
    // Searched from the payload: the type and length fields before it may hold the marker.
    for (const QByteArray &record : splitRecords(frame, kKestorHeader, kTestMarker)) {
        STRU_TEST_RESULT_INFO info;
        if (testRecord(record, info)) {
            m_tests.append(info);
            any = true;
        }
    }
    return any;
}

bool BarcodeParse::parseTestFrame(const QByteArray &frame)
{
    if (frame.size() <= 10 || frame[0] != 0x02 || frame[1] != 0x02)
        return false;
    STRU_TEST_RESULT_INFO info;
    if (!testRecord(frame.mid(10), info))
        return false;
    m_tests.append(info);
    return true;
}

bool BarcodeParse::parseTagFrame(const QByteArray &frame)
{
    if (frame.size() < 9 || !frame.startsWith("\xAA\x55\xBB\xCC"))
        return false;
    const int len = qFromBigEndian<quint16>(frame.constData() + 4);
    if (len < 2 || frame.size() != len + 7)
        return false;
    quint8 sum = 0;
    for (int i = 0; i < len; ++i)
        sum ^= quint8(frame[6 + i]);
    if (sum != quint8(frame[6 + len]))
        return false;
    STRUCT_TAG_INFO tag;
    tag.antenna = quint8(frame[6]);
    tag.rssi = qint8(frame[7]);
    tag.epc = frame.mid(8, len - 2);
    m_tags.append(tag);
    return true;
}

bool BarcodeParse::parseJson(const QByteArray &json)
{
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_ParseWithLength(json.constData(), size_t(json.size())));
    if (!cJSON_IsObject(root.get()))
        return false;
    const cJSON *quality = cJSON_GetObjectItemCaseSensitive(root.get(), "CodeQualitySt");
    if (!quality)
        return false;
    STRUCT_BARCODE_INFO common;
    common.result = int(number(root.get(), "result"));
    common.endFlag = int(number(root.get(), "endFlag"));
    common.ip = text(root.get(), "ip");
    common.mac = text(root.get(), "mac");
    common.sn = text(root.get(), "sn");
    bool hasSeq = false;
    const double seq = number(root.get(), "seq", &hasSeq);
    common.seq = hasSeq ? qint64(seq) : -1;
    if (cJSON_IsObject(quality)) {
        common.hasGrading |= readGrades(quality, "ISO15416", common.bq15416);
        common.hasGrading |= readGrades(quality, "ISO15415", common.bq15415);
        common.hasGrading |= readGrades(quality, "ISO29158", common.bq29158);
    }
    m_hasGrading |= common.hasGrading;
    const QString gradeText = gradeLetterFrom(common);

    const cJSON *list = cJSON_GetObjectItemCaseSensitive(root.get(), "list");
    const cJSON *entry = nullptr;
    cJSON_ArrayForEach(entry, list)
    {
        bool hasLen = false, hasScore = false;
        const double len = number(entry, "len", &hasLen);
        const double cq = number(entry, "c_q", &hasScore);
        if (!hasLen || !hasScore)
            continue;
        STRUCT_BARCODE_INFO info = common;
        info.length = int(len);
        const double ppm = number(entry, "ppm");
        if (ppm > 0)
            info.ppm = twoDecimalsCached(ppm * 0.0625);
        const double dt = number(entry, "d_t");
        if (dt > 0) {
            info.decodeTime = dt;
            info.decodeTimeText = twoDecimalsCached(dt);
        }
        const cJSON *lid = cJSON_GetObjectItemCaseSensitive(entry, "l_id");
        if (cJSON_IsNumber(lid))
            info.cfgLibId = intText(lid->valueint);
        else if (cJSON_IsString(lid) && lid->valuestring)
            info.cfgLibId = QString::fromUtf8(lid->valuestring);
        const cJSON *cid = cJSON_GetObjectItemCaseSensitive(entry, "c_id");
        if (cJSON_IsNumber(cid)) {
            info.symbology = symbologyOf(cid->valueint);
        } else if (cJSON_IsString(cid) && cid->valuestring) {
            // Three digits as the symbology table writes them share the numeric cache.
            const char *s = cid->valuestring;
            const bool digits3 = std::strlen(s) == 3 && s[0] >= '0' && s[0] <= '9'
                && s[1] >= '0' && s[1] <= '9' && s[2] >= '0' && s[2] <= '9';
            info.symbology = digits3 ? symbologyOf(std::atoi(s)) : symbologyName(QString::fromUtf8(s));
        }
        bool hasAi = false;
        const double ai = number(entry, "ai", &hasAi);
        info.ai = hasAi ? int(ai) : -1;
        const cJSON *code = cJSON_GetObjectItemCaseSensitive(entry, "code");
        if (cJSON_IsString(code) && code->valuestring)
            info.data = QByteArray(code->valuestring);
        const double is = number(entry, "i_s");
        if (is > 0)
            info.score = twoDecimalsCached(is);
        info.quality = m_gradingDisplay ? gradeText : scoreLetter(int(cq));
        info.goodRead = !isNoRead(info.data);
        info.valid = true;
        m_barcodes.append(info);
    }
    return true;
}

QString BarcodeParse::gradeLetterFrom(const STRUCT_BARCODE_INFO &info) const
{
    // The model's own standard first; a reader grades 1D codes by ISO 15416 whatever the model,
    // so the other records stand in when that one is missing.
    const bool has[] = {info.bq15416.present, info.bq15415.present, info.bq29158.present};
    const int grades[] = {kxGrade(info.bq15416, "cALL"), kxGrade(info.bq15415, "cALL"),
                          kxGrade(info.bq29158, "cALL")};
    const int kind = m_modelKind >= 0 && m_modelKind <= 2 ? m_modelKind : 0;
    if (has[kind])
        return gradeLetter(grades[kind]);
    for (int i = 0; i < 3; ++i)
        if (has[i])
            return gradeLetter(grades[i]);
    return QString();
}

QList<STRUCT_BARCODE_INFO> BarcodeParse::takeBarcodes(bool *hasGrading)
{
    QList<STRUCT_BARCODE_INFO> out;
    out.swap(m_barcodes);
    for (STRUCT_BARCODE_INFO &info : out)
        if (info.hasGrading)
            info.goodRead = false;
    if (hasGrading)
        *hasGrading = m_hasGrading;
    m_hasGrading = false;
    return out;
}

QList<STRU_TEST_RESULT_INFO> BarcodeParse::takeTestResults()
{
    QList<STRU_TEST_RESULT_INFO> out;
    out.swap(m_tests);
    return out;
}

QList<STRUCT_TAG_INFO> BarcodeParse::takeTags()
{
    QList<STRUCT_TAG_INFO> out;
    out.swap(m_tags);
    return out;
}

QList<QByteArray> BarcodeParse::takeVisionResults()
{
    QList<QByteArray> out;
    out.swap(m_visionResults);
    return out;
}
