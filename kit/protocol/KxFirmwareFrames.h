#pragma once
// Firmware packages and the firmware transfer steps (request kind 0C, answer kind 8C).
// Pure functions: no I/O. docs/firmware-packages.md describes the package layout.
#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace KxFirmware {

// ---- packages --------------------------------------------------------------------------------
// What a package is for. "ifp" is not a kind: it is an archive holding a package.
struct PackageHeader
{
    int format = 1;
    QString kind;      // "bin", "pak", "nfp", "efp"
    QString product;   // normalised model name ("FM800"); "*" fits every product
    QString hardware;  // the other variants: empty or "*" fits every reader
    QString cpu;
    QString storage;
    QString os;
    QString kernel;
    QString mcu;
    QString version;   // the firmware version the reader reports after the install
    int block = 4;     // 1 boot, 2 kernel, 3 config, 4 application
    bool strictOk = true;  // false: a reader in strict mode refuses it (for example a downgrade)

    QJsonObject toJson() const;
    static PackageHeader fromJson(const QJsonObject &o);
};

struct Package
{
    PackageHeader header;
    QByteArray payload;
    quint32 payloadCrc = 0;  // as stored in the file
};

constexpr int kMaxHeaderSize = 65536;
// The kind that belongs to a file's extension ("bin2" -> "bin", "pk2" -> "pak"); empty when the
// extension is not a package's.
QString kindForExtension(const QString &suffix);

// A whole package file: magic, header, payload, CRC-32 of the payload, SHA-256 of everything
// before the digest.
QByteArray buildPackage(const PackageHeader &header, const QByteArray &payload);
// The two sums of a package file: CRC-32 of every byte (what the transfer checks) and SHA-256
// of the bytes before the trailing digest.
struct FileSums
{
    quint32 crc = 0;
    QByteArray sha256;
};
// Both sums in one pass each, side by side on two threads for large files.
FileSums fileSums(const QByteArray &file);

// The sums of a file that arrives in pieces; its size must be known from the start.
class RunningSums
{
public:
    explicit RunningSums(qint64 fileSize);
    ~RunningSums();
    RunningSums(const RunningSums &) = delete;
    RunningSums &operator=(const RunningSums &) = delete;
    // data stays valid while owner lives (a null owner: data is copied for the digest).
    void add(const char *data, qsizetype size, const QByteArray &owner = QByteArray());
    // Valid once fileSize bytes were added; call once.
    FileSums finish();

private:
    struct Impl;
    Impl *d;
};

// False with the reason when the file is not a complete, intact package. sums: the file's sums
// when already known (they are not computed again; the stored payload CRC is checked against
// the file's CRC-32 without another pass over the payload).
// withPayload false: out's payload stays empty (checks that need no copy of it).
bool parsePackage(const QByteArray &file, Package *out, QString *error = nullptr,
                  const FileSums *sums = nullptr, bool withPayload = true);

// The same checks from the package's first kHeadSize bytes (fewer when the file is shorter),
// its last 36 bytes, its size and its sums: a receiver need not keep the payload to check it.
constexpr int kHeadSize = 18 + kMaxHeaderSize;
bool parsePackageEnds(const QByteArray &head, const QByteArray &tail, qint64 size,
                      const FileSums &sums, Package *out, QString *error = nullptr);

// CRC-32 (the zip polynomial), continuing from crc (0 to start).
quint32 crc32(const char *data, qsizetype size, quint32 crc = 0);
inline quint32 crc32(const QByteArray &data, quint32 crc = 0)
{
    return crc32(data.constData(), data.size(), crc);
}
// The CRC-32 of a followed by b, from the CRC-32 of each and the length of b.
quint32 crc32Combine(quint32 crcA, quint32 crcB, qint64 lengthB);
QByteArray sha256(const char *data, qsizetype size);

// Normalised model name: "KXS-FM800-ETH" -> "FM800".
QString normaliseModel(const QString &name);

// What a reader reports about itself (step 5), compared with a package header. 0 when the
// package fits; else the first mismatch: 5 product, 6 hardware, 7 CPU, 8 storage, 9 OS,
// 10 kernel, 11 MCU.
struct SystemInfo
{
    QString product, hardware, cpu, storage, os, kernel, mcu, version;
    QJsonObject toJson() const;
    static bool fromJson(const QByteArray &json, SystemInfo *out);
};
int compareWithReader(const PackageHeader &header, const SystemInfo &reader);

// ---- transfer steps --------------------------------------------------------------------------
// QuietData is Data without an answer: the kit sends several data steps in a row and only the
// last one of them is answered, so the reader works on one while the next travels.
enum Step : quint8 { Begin = 1, Data = 2, End = 3, State = 4, System = 5, QuietData = 6 };
constexpr int kMaxChunk = 4 * 1024 * 1024;  // largest data step

// Error codes a reader answers (the kit passes them on).
enum Error : int {
    NoError = 0,
    ProductMismatch = 5,
    InvalidFormat = 209,
    Communication = 211,
    UpdateFailed = 213,
    RefusedStrict = 218,
    DataError = 603,
};

QByteArray makeBegin(const QString &name, qint64 size, quint32 crc, bool strict);
QByteArray makeData(quint32 offset, const QByteArray &chunk);
// The whole request frame (kind 0C) of a data step, built in one go: a large step is not
// copied twice on its way out.
QByteArray makeDataFrame(quint32 offset, const char *data, int size);
// Appends the whole request frame of a data step (answered: Data, else QuietData) to out.
bool appendDataFrame(QByteArray &out, bool answered, quint32 offset, const char *data, int size);
QByteArray makeStep(Step step);  // End, State, System

struct Request
{
    Step step = State;
    QJsonObject begin;  // Begin
    quint32 offset = 0; // Data, QuietData
    QByteArray chunk;   // Data: refers into the parsed payload, valid while that lives
};
bool parseRequest(const QByteArray &payload, Request *out);

struct Answer
{
    bool ok = false;
    int error = 0;
    int block = 0;
    int step = 0;
    int progress = 0;
    QJsonObject extra;  // step 5: the system information
};
QByteArray makeAnswer(const Answer &a);
bool parseAnswer(const QByteArray &payload, Answer *out);

}  // namespace KxFirmware
