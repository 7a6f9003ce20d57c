#include "KxFirmwareFrames.h"

#include "KxBinaryFrame.h"
#include "KxCrcFold.h"

#include <QJsonDocument>
#include <QtEndian>
#include <openssl/evp.h>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace KxFirmware {

namespace {
constexpr char kMagic[4] = {'K', 'X', 'F', 'W'};
constexpr int kDigestSize = 32;
constexpr int kTailSize = 4 + kDigestSize;               // payload CRC-32, SHA-256
constexpr int kFixedSize = 4 + 2 + 4 + 8 + kTailSize;    // everything but header and payload

// Slicing by eight: eight table look-ups per eight bytes instead of a dependent look-up per byte.
struct Crc32Tables
{
    quint32 t[8][256];
    Crc32Tables()
    {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};

const Crc32Tables &crcTables()
{
    static const Crc32Tables tables;
    return tables;
}

// Product of two polynomials modulo the CRC polynomial, bit-reflected as the CRC is.
quint32 multModPoly(quint32 a, quint32 b)
{
    quint32 product = 0;
    for (quint32 bit = 1u << 31; bit != 0 && a != 0; bit >>= 1) {
        if (a & bit) {
            product ^= b;
            a &= ~bit;
        }
        b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
    }
    return product;
}

void putU32(QByteArray &out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

bool anyValue(const QString &s)
{
    return s.isEmpty() || s == QLatin1String("*");
}
}  // namespace

// The register through the tables (no initial or final inversion).
static quint32 crc32Update(quint32 crc, const uchar *p, qsizetype size)
{
    const auto &t = crcTables().t;
    for (; size >= 8; size -= 8, p += 8) {
        const quint32 lo = crc ^ qFromLittleEndian<quint32>(p);
        const quint32 hi = qFromLittleEndian<quint32>(p + 4);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24]
            ^ t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; size > 0; --size, ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

quint32 crc32(const char *data, qsizetype size, quint32 crc)
{
    static const KxCrcFold::Poly poly(32, 0x04C11DB7u);
    const auto *p = reinterpret_cast<const uchar *>(data);
    uchar folded[16];
    const qsizetype n = size >= 256 ? KxCrcFold::fold(poly, ~crc, data, size, folded) : 0;
    if (n > 0)
        return ~crc32Update(crc32Update(0, folded, 16), p + n, size - n);
    return ~crc32Update(~crc, p, size);
}

quint32 crc32Combine(quint32 crcA, quint32 crcB, qint64 lengthB)
{
    // crc(a + b) = crcA * x^(8 * lengthB) + crcB (mod the polynomial). x^(2^k) by squaring.
    quint32 power = 1u << 30;  // x^1
    quint32 shift = 1u << 31;  // x^0
    for (quint64 n = quint64(qMax<qint64>(0, lengthB)) * 8; n != 0; n >>= 1) {
        if (n & 1)
            shift = multModPoly(power, shift);
        power = multModPoly(power, power);
    }
    return multModPoly(shift, crcA) ^ crcB;
}

QByteArray sha256(const char *data, qsizetype size)
{
    QByteArray out(kDigestSize, Qt::Uninitialized);
    unsigned int n = 0;
    if (!EVP_Digest(data, size_t(size), reinterpret_cast<uchar *>(out.data()), &n, EVP_sha256(), nullptr))
        return QByteArray();
    return out;
}

FileSums fileSums(const QByteArray &file)
{
    FileSums sums;
    const qsizetype hashed = qMax<qsizetype>(0, file.size() - kDigestSize);
    if (file.size() < 1024 * 1024) {
        sums.sha256 = sha256(file.constData(), hashed);
        sums.crc = crc32(file);
        return sums;
    }
    std::thread digest([&] { sums.sha256 = sha256(file.constData(), hashed); });
    sums.crc = crc32(file);
    digest.join();
    return sums;
}

// The digest runs on a thread of its own, a chunk behind the CRC: a receiver sums a package
// while the next chunk travels.
struct RunningSums::Impl
{
    struct Piece
    {
        QByteArray owner;
        const char *data;
        qsizetype size;
    };
    EVP_MD_CTX *sha = EVP_MD_CTX_new();
    qint64 hashLimit = 0;  // bytes before the digest
    qint64 seen = 0;
    quint32 crc = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Piece> queue;
    bool closing = false;
    std::thread digest;

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            const Piece piece = queue.front();
            queue.pop_front();
            lock.unlock();
            EVP_DigestUpdate(sha, piece.data, size_t(piece.size));
            lock.lock();
        }
    }
    void stop(bool drop)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (drop)
                queue.clear();
            closing = true;
        }
        wake.notify_one();
        if (digest.joinable())
            digest.join();
    }
};

RunningSums::RunningSums(qint64 fileSize) : d(new Impl)
{
    EVP_DigestInit_ex(d->sha, EVP_sha256(), nullptr);
    d->hashLimit = qMax<qint64>(0, fileSize - kDigestSize);
}

RunningSums::~RunningSums()
{
    d->stop(true);
    EVP_MD_CTX_free(d->sha);
    delete d;
}

void RunningSums::add(const char *data, qsizetype size, const QByteArray &owner)
{
    d->crc = crc32(data, size, d->crc);
    const qint64 hash = qBound<qint64>(0, d->hashLimit - d->seen, size);
    d->seen += size;
    if (hash <= 0)
        return;
    Impl::Piece piece{owner, data, qsizetype(hash)};
    if (owner.isNull()) {
        piece.owner = QByteArray(data, int(hash));
        piece.data = piece.owner.constData();
    }
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->queue.push_back(piece);
        if (!d->digest.joinable())
            d->digest = std::thread([this] { d->run(); });
    }
    d->wake.notify_one();
}

FileSums RunningSums::finish()
{
    d->stop(false);
    FileSums sums;
    sums.crc = d->crc;
    sums.sha256 = QByteArray(kDigestSize, Qt::Uninitialized);
    unsigned int n = 0;
    if (!EVP_DigestFinal_ex(d->sha, reinterpret_cast<uchar *>(sums.sha256.data()), &n))
        sums.sha256.clear();
    return sums;
}

QString kindForExtension(const QString &suffix)
{
    const QString s = suffix.toLower();
    if (s == QLatin1String("bin") || s == QLatin1String("bin2") || s == QLatin1String("bin3"))
        return QStringLiteral("bin");
    if (s == QLatin1String("pak") || s == QLatin1String("pk2"))
        return QStringLiteral("pak");
    if (s == QLatin1String("nfp") || s == QLatin1String("efp"))
        return s;
    return QString();
}

QString normaliseModel(const QString &name)
{
    QString n = name;
    n.remove(QStringLiteral("KXS-")).remove(QStringLiteral("KXS_")).remove(QStringLiteral("KXS"));
    const int dash = n.lastIndexOf(QLatin1Char('-'));
    return dash > 0 ? n.left(dash) : n;
}

QJsonObject PackageHeader::toJson() const
{
    QJsonObject o;
    o.insert("format", format);
    o.insert("kind", kind);
    o.insert("product", product);
    o.insert("hardware", hardware);
    o.insert("cpu", cpu);
    o.insert("storage", storage);
    o.insert("os", os);
    o.insert("kernel", kernel);
    o.insert("mcu", mcu);
    o.insert("version", version);
    o.insert("block", block);
    o.insert("strict", strictOk ? 1 : 0);
    return o;
}

PackageHeader PackageHeader::fromJson(const QJsonObject &o)
{
    PackageHeader h;
    h.format = o.value("format").toInt(0);
    h.kind = o.value("kind").toString();
    h.product = o.value("product").toString();
    h.hardware = o.value("hardware").toString();
    h.cpu = o.value("cpu").toString();
    h.storage = o.value("storage").toString();
    h.os = o.value("os").toString();
    h.kernel = o.value("kernel").toString();
    h.mcu = o.value("mcu").toString();
    h.version = o.value("version").toString();
    h.block = o.value("block").toInt(4);
    h.strictOk = o.value("strict").toInt(1) != 0;
    return h;
}

QByteArray buildPackage(const PackageHeader &header, const QByteArray &payload)
{
    const QByteArray json = QJsonDocument(header.toJson()).toJson(QJsonDocument::Compact);
    QByteArray out;
    out.reserve(json.size() + payload.size() + 64);
    out.append(kMagic, 4);
    char f[2];
    qToBigEndian(quint16(header.format), f);
    out.append(f, 2);
    putU32(out, quint32(json.size()));
    out.append(json);
    char len[8];
    qToBigEndian(quint64(payload.size()), len);
    out.append(len, 8);
    out.append(payload);
    putU32(out, crc32(payload));
    out.append(sha256(out.constData(), out.size()));
    return out;
}

bool parsePackageEnds(const QByteArray &head, const QByteArray &tail, qint64 size,
                      const FileSums &sums, Package *out, QString *error)
{
    auto fail = [error](const char *why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    };
    if (size < kFixedSize || head.size() < 10 || tail.size() != kTailSize
        || !head.startsWith(QByteArray(kMagic, 4)))
        return fail("not a firmware package");
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const quint16 format = qFromBigEndian<quint16>(p + 4);
    if (format != 1)
        return fail("unknown package format");
    const quint32 headerSize = qFromBigEndian<quint32>(p + 6);
    if (headerSize > quint32(kMaxHeaderSize) || qint64(headerSize) + kFixedSize > size)
        return fail("package header size out of range");
    if (head.size() < 18 + qint64(headerSize))
        return fail("not a firmware package");
    const quint64 payloadSize = qFromBigEndian<quint64>(p + 10 + headerSize);
    if (payloadSize != quint64(size - kFixedSize - qint64(headerSize)))
        return fail("package size does not match its header");
    if (sums.sha256 != QByteArray::fromRawData(tail.constData() + 4, kDigestSize))
        return fail("package checksum (SHA-256) does not match");
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(head.mid(10, int(headerSize)), &pe);
    if (!doc.isObject())
        return fail("package header is not a JSON object");
    Package pkg;
    pkg.header = PackageHeader::fromJson(doc.object());
    if (pkg.header.format != 1 || kindForExtension(pkg.header.kind).isEmpty()
        || pkg.header.version.isEmpty() || pkg.header.product.isEmpty())
        return fail("package header lacks its kind, product or version");
    const int payloadAt = 18 + int(headerSize);
    pkg.payloadCrc = qFromBigEndian<quint32>(tail.constData());
    // The file's CRC-32 with the stored payload CRC put in for the payload's own must be the
    // file's real CRC-32: equal exactly when the stored one is right.
    const quint32 expected = crc32Combine(
        crc32Combine(crc32(head.constData(), payloadAt), pkg.payloadCrc, qint64(payloadSize)),
        crc32(tail), kTailSize);
    if (expected != sums.crc)
        return fail("payload checksum (CRC-32) does not match");
    if (out)
        *out = std::move(pkg);
    return true;
}

bool parsePackage(const QByteArray &file, Package *out, QString *error, const FileSums *known,
                  bool withPayload)
{
    if (file.size() < kFixedSize) {
        if (error)
            *error = QStringLiteral("not a firmware package");
        return false;
    }
    const FileSums sums = known ? *known : fileSums(file);
    const QByteArray head = QByteArray::fromRawData(file.constData(), qMin(file.size(), kHeadSize));
    const QByteArray tail = QByteArray::fromRawData(file.constData() + file.size() - kTailSize, kTailSize);
    Package pkg;
    if (!parsePackageEnds(head, tail, file.size(), sums, &pkg, error))
        return false;
    if (withPayload) {
        const int payloadAt = 18 + int(qFromBigEndian<quint32>(file.constData() + 6));
        pkg.payload = file.mid(payloadAt, file.size() - kTailSize - payloadAt);
    }
    if (out)
        *out = std::move(pkg);
    return true;
}

QJsonObject SystemInfo::toJson() const
{
    QJsonObject o;
    o.insert("product", product);
    o.insert("hardware", hardware);
    o.insert("cpu", cpu);
    o.insert("storage", storage);
    o.insert("os", os);
    o.insert("kernel", kernel);
    o.insert("mcu", mcu);
    o.insert("version", version);
    return o;
}

bool SystemInfo::fromJson(const QByteArray &json, SystemInfo *out)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    if (!o.value("product").isString())
        return false;
    SystemInfo s;
    s.product = o.value("product").toString();
    s.hardware = o.value("hardware").toString();
    s.cpu = o.value("cpu").toString();
    s.storage = o.value("storage").toString();
    s.os = o.value("os").toString();
    s.kernel = o.value("kernel").toString();
    s.mcu = o.value("mcu").toString();
    s.version = o.value("version").toString();
    *out = s;
    return true;
}

int compareWithReader(const PackageHeader &h, const SystemInfo &r)
{
    const std::pair<const QString *, const QString *> pairs[] = {
        {&h.product, &r.product}, {&h.hardware, &r.hardware}, {&h.cpu, &r.cpu},
        {&h.storage, &r.storage}, {&h.os, &r.os},             {&h.kernel, &r.kernel},
        {&h.mcu, &r.mcu}};
    int code = 5;
    for (const auto &p : pairs) {
        const bool fits = anyValue(*p.first)
            || (code == 5 ? normaliseModel(*p.first).compare(normaliseModel(*p.second), Qt::CaseInsensitive) == 0
                          : p.first->compare(*p.second, Qt::CaseInsensitive) == 0);
        if (!fits)
            return code;
        ++code;
    }
    return 0;
}

QByteArray makeBegin(const QString &name, qint64 size, quint32 crc, bool strict)
{
    QJsonObject o;
    o.insert("name", name);
    o.insert("size", double(size));
    o.insert("crc32", double(crc));
    o.insert("strict", strict ? 1 : 0);
    return QByteArray(1, char(Begin)) + QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray makeData(quint32 offset, const QByteArray &chunk)
{
    QByteArray out(1, char(Data));
    out.reserve(5 + chunk.size());
    putU32(out, offset);
    out.append(chunk);
    return out;
}

bool appendDataFrame(QByteArray &out, bool answered, quint32 offset, const char *data, int size)
{
    if (size < 0 || size > kMaxChunk)
        return false;
    const quint32 length = quint32(size) + 5;
    const int at = out.size();
    out.reserve(at + int(length) + KxFrame::EnvelopeSize);
    out.append(KxFrame::Head);
    out.append(char(KxFrame::FirmwareStep));
    putU32(out, length);
    out.append(char(answered ? Data : QuietData));
    putU32(out, offset);
    out.append(data, size);
    char sum[2];
    qToBigEndian(KxFrame::crc(out.constData() + at + 1, out.size() - at - 1), sum);
    out.append(sum, 2);
    out.append(KxFrame::Tail);
    return true;
}

QByteArray makeDataFrame(quint32 offset, const char *data, int size)
{
    QByteArray out;
    if (!appendDataFrame(out, true, offset, data, size))
        return QByteArray();
    return out;
}

QByteArray makeStep(Step step)
{
    return QByteArray(1, char(step));
}

bool parseRequest(const QByteArray &payload, Request *out)
{
    if (payload.isEmpty())
        return false;
    Request r;
    const quint8 step = quint8(payload.at(0));
    switch (step) {
    case Begin: {
        const QJsonDocument doc = QJsonDocument::fromJson(payload.mid(1));
        if (!doc.isObject())
            return false;
        r.begin = doc.object();
        if (!r.begin.value("size").isDouble() || !r.begin.value("crc32").isDouble()
            || r.begin.value("size").toDouble() < 0)
            return false;
        break;
    }
    case Data:
    case QuietData:
        if (payload.size() < 5 || payload.size() - 5 > kMaxChunk)
            return false;
        r.offset = qFromBigEndian<quint32>(payload.constData() + 1);
        r.chunk = QByteArray::fromRawData(payload.constData() + 5, payload.size() - 5);
        break;
    case End:
    case State:
    case System:
        if (payload.size() != 1)
            return false;
        break;
    default:
        return false;
    }
    r.step = Step(step);
    *out = r;
    return true;
}

QByteArray makeAnswer(const Answer &a)
{
    QJsonObject o = a.extra;
    o.insert("error", a.error);
    o.insert("block", a.block);
    o.insert("step", a.step);
    o.insert("progress", a.progress);
    return QByteArray(1, a.ok ? char(0) : char(1)) + QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool parseAnswer(const QByteArray &payload, Answer *out)
{
    if (payload.size() < 2 || quint8(payload.at(0)) > 1)
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.mid(1));
    if (!doc.isObject())
        return false;
    Answer a;
    a.ok = payload.at(0) == 0;
    a.extra = doc.object();
    a.error = a.extra.value("error").toInt(a.ok ? 0 : int(UpdateFailed));
    a.block = a.extra.value("block").toInt();
    a.step = a.extra.value("step").toInt();
    a.progress = a.extra.value("progress").toInt();
    *out = a;
    return true;
}

}  // namespace KxFirmware
