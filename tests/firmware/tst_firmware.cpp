// Firmware packages and their transfer: the package format against damage, the variant checks,
// and upgrades of the real virtual reader over loopback, including the ways they must fail
// without touching the installed firmware.
#include <QtTest>

#include <KZip>
#include <QCryptographicHash>

#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxFirmwareFrames.h"
#include "VReaderProcess.h"

using namespace KxFirmware;

namespace {
const QString kSamples = QStringLiteral(BREVAN_BIN_DIR "/firmware/");

PackageHeader header(const QString &product = QStringLiteral("FM800"),
                     const QString &version = QStringLiteral("V2.00.000"))
{
    PackageHeader h;
    h.kind = QStringLiteral("pak");
    h.product = product;
    h.version = version;
    h.hardware = QStringLiteral("VR-1");
    h.cpu = QStringLiteral("VCPU-A7");
    h.storage = QStringLiteral("EMMC-8G");
    h.os = QStringLiteral("VROS-2");
    h.kernel = QStringLiteral("5.10");
    h.mcu = QStringLiteral("VMCU-3");
    return h;
}

SystemInfo virtualReader()
{
    SystemInfo s;
    s.product = QStringLiteral("FM800");
    s.hardware = QStringLiteral("VR-1");
    s.cpu = QStringLiteral("VCPU-A7");
    s.storage = QStringLiteral("EMMC-8G");
    s.os = QStringLiteral("VROS-2");
    s.kernel = QStringLiteral("5.10");
    s.mcu = QStringLiteral("VMCU-3");
    return s;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray settingsRequest(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings, true);
}
}  // namespace

class TstFirmware : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QTemporaryDir tmp;
    int links = 0;

    // A fresh link id each time, so a link of an earlier case never answers for a later one.
    QString connect(const VReaderProcess &vr)
    {
        const auto r = vr.readers().value(0);
        const QString id = QStringLiteral("fw-%1").arg(++links);
        if (!kit->connectToDevice_Cmd(id, QStringLiteral("%1:%2").arg(r.address).arg(r.port)))
            return QString();
        return id;
    }

    QByteArray value(const QString &id, const QByteArray &code)
    {
        QByteArray reply, v;
        if (kit->sendBinaryMessage(id, settingsRequest("@" + code + "*"), reply, 10000) != 0)
            return QByteArray();
        KxGetDataStreamResult(reply, QString::fromLatin1(code), v);
        return v;
    }

    // The firmware version the reader reports once it answers again (after a restart it is
    // away for a moment); empty when it never comes back.
    QString versionAfterwards(const VReaderProcess &vr, QString *id = nullptr)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000) {
            const QString link = connect(vr);
            if (!link.isEmpty()) {
                const QByteArray prn = value(link, "PRNQRY");
                for (const QByteArray &line : prn.split('\n')) {
                    if (line.startsWith("Firmware Version:")) {
                        if (id)
                            *id = link;
                        else
                            kit->disconnectFromDeviceEx(link);
                        return QString::fromUtf8(line.mid(17).trimmed());
                    }
                }
                kit->disconnectFromDeviceEx(link);
            }
            QTest::qWait(200);
        }
        return QString();
    }

private slots:
    // ---- packages ------------------------------------------------------------------------------
    void packageRoundTrip()
    {
        PackageHeader h = header();
        h.block = 2;
        h.strictOk = false;
        const QByteArray payload = QByteArray("\x7E\x03\x00 firmware", 13).repeated(5000);
        Package p;
        QString why;
        QVERIFY2(parsePackage(buildPackage(h, payload), &p, &why), qPrintable(why));
        QCOMPARE(p.payload, payload);
        QCOMPARE(p.header.version, h.version);
        QCOMPARE(p.header.block, 2);
        QCOMPARE(p.header.strictOk, false);
        QCOMPARE(p.header.mcu, h.mcu);
    }

    // The sums of a package arriving in pieces are those of the whole file; the CRC-32 of two
    // parts joins to the CRC-32 of both. References: bit-wise CRCs and Qt's SHA-256.
    void checksumsInPieces_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("piece");
        QTest::newRow("empty") << 0 << 1;
        QTest::newRow("shorter than the digest") << 20 << 3;
        QTest::newRow("odd pieces") << 100003 << 7777;
        QTest::newRow("piece ends inside the digest") << 65536 + 40 << 65536 + 20;
        QTest::newRow("3 MiB") << 3 * 1024 * 1024 + 5 << 1000003;
    }
    void checksumsInPieces()
    {
        QFETCH(int, size);
        QFETCH(int, piece);
        QCOMPARE(crc32("123456789", 9), 0xCBF43926u);  // the polynomial's published check value
        QByteArray bytes(size, Qt::Uninitialized);
        quint32 x = 7u + quint32(size);
        for (char &c : bytes) {
            x = x * 1103515245u + 12345u;
            c = char(x >> 24);
        }
        quint32 bitwise = 0xFFFFFFFFu;
        for (char c : bytes.left(200000)) {
            bitwise ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                bitwise = (bitwise >> 1) ^ (0xEDB88320u & (0u - (bitwise & 1u)));
        }
        const FileSums whole = fileSums(bytes);
        if (size <= 200000)
            QCOMPARE(whole.crc, ~bitwise);
        QCOMPARE(whole.sha256, QCryptographicHash::hash(bytes.left(qMax(0, size - 32)), QCryptographicHash::Sha256));
        RunningSums running(size);
        for (int at = 0; at < size; at += piece)
            running.add(bytes.constData() + at, qMin(piece, size - at));
        const FileSums pieces = running.finish();
        QCOMPARE(pieces.crc, whole.crc);
        QCOMPARE(pieces.sha256, whole.sha256);
        const int cut = qMin(piece, size);
        QCOMPARE(crc32Combine(crc32(bytes.left(cut)), crc32(bytes.mid(cut)), size - cut), whole.crc);
        // The frame checksum of a large step (folded in 16-byte blocks) against a bit-wise loop.
        QCOMPARE(KxFrame::crc("123456789", 9), quint16(0x906E));
        quint16 x25 = 0xFFFF;
        for (char c : bytes.left(cut)) {
            x25 ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                x25 = quint16((x25 >> 1) ^ (0x8408u & (0u - (x25 & 1u))));
        }
        QCOMPARE(KxFrame::crc(bytes.constData(), cut), quint16(~x25));
        // A data step's frame built in one go is the step enveloped as any request is.
        QCOMPARE(makeDataFrame(7, bytes.constData(), cut),
                 KxFrame::encode(KxFrame::FirmwareStep, makeData(7, bytes.left(cut))));
    }

    void damagedPackagesRefused_data()
    {
        QTest::addColumn<int>("at");  // byte to flip; negative: cut this many bytes off the end
        const QByteArray good = buildPackage(header(), QByteArray(4096, 'x'));
        QTest::newRow("magic") << 0;
        QTest::newRow("format") << 5;
        QTest::newRow("header length") << 8;
        QTest::newRow("header text") << 20;
        QTest::newRow("payload") << good.size() / 2;
        QTest::newRow("payload crc") << good.size() - 34;
        QTest::newRow("digest") << good.size() - 1;
        QTest::newRow("cut by one") << -1;
        QTest::newRow("cut to the header") << -(good.size() - 12);
    }
    void damagedPackagesRefused()
    {
        QFETCH(int, at);
        QByteArray bytes = buildPackage(header(), QByteArray(4096, 'x'));
        if (at >= 0)
            bytes[at] = char(bytes.at(at) ^ 0x21);
        else
            bytes.chop(-at);
        QVERIFY(!parsePackage(bytes, nullptr));
    }

    void variantsComparedWithReader_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("code");
        QTest::newRow("fits") << "" << "" << 0;
        QTest::newRow("full product name fits") << "product" << "KXS-FM800-ETH" << 0;
        QTest::newRow("any product") << "product" << "*" << 0;
        QTest::newRow("product") << "product" << "EM30" << 5;
        QTest::newRow("hardware") << "hardware" << "VR-2" << 6;
        QTest::newRow("cpu") << "cpu" << "ARM9" << 7;
        QTest::newRow("storage") << "storage" << "NAND" << 8;
        QTest::newRow("os") << "os" << "VROS-1" << 9;
        QTest::newRow("kernel") << "kernel" << "4.19" << 10;
        QTest::newRow("mcu") << "mcu" << "VMCU-2" << 11;
        QTest::newRow("any mcu") << "mcu" << "" << 0;
    }
    void variantsComparedWithReader()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, code);
        QJsonObject o = header().toJson();
        if (!field.isEmpty())
            o.insert(field, value);
        QCOMPARE(compareWithReader(PackageHeader::fromJson(o), virtualReader()), code);
    }

    void packageFilesChecked()
    {
        QString product, version, kind;
        qint64 size = 0;
        QVERIFY(kit->getPakInfo(kSamples + "FM800-V1.01.000.pak", product, version, kind, &size));
        QCOMPARE(product, QString("FM800"));
        QCOMPARE(version, QString("V1.01.000"));
        QCOMPARE(kind, QString("pak"));
        QCOMPARE(size, QFileInfo(kSamples + "FM800-V1.01.000.pak").size());
        QVERIFY(!kit->getPakInfo(kSamples + "FM800-V1.01.000-badsum.pak", product, version, kind));
        // A good package under an extension of another kind is not taken.
        const QString renamed = tmp.filePath("renamed.nfp");
        QVERIFY(QFile::copy(kSamples + "FM800-V1.01.000.pak", renamed));
        QVERIFY(!kit->getPakInfo(renamed, product, version, kind));
        QVERIFY(!kit->getPakInfo(tmp.filePath("missing.pak"), product, version, kind));
    }

    void ifpUnpacked()
    {
        const QString ifp = kSamples + "FM800-V1.01.000.ifp";
        QVERIFY(kit->isIfp(ifp));
        QVERIFY(kit->extractIfpFile(ifp));
        QString product, version, kind;
        QVERIFY(kit->getPakInfo(ifp, product, version, kind));
        QCOMPARE(version, QString("V1.01.000"));

        // What cannot be unpacked is refused by the unpacking, before any reader is involved.
        const QString notZip = tmp.filePath("plain.ifp");
        QVERIFY(writeFile(notZip, buildPackage(header(), "x")));
        QVERIFY(kit->isIfp(notZip));
        QVERIFY(!kit->extractIfpFile(notZip));
        QVERIFY(!kit->getPakInfo(notZip, product, version, kind));

        const QString noManifest = tmp.filePath("nomanifest.ifp");
        {
            KZip zip(noManifest);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            zip.writeFile("a.pak", buildPackage(header(), "x"));
            zip.close();
        }
        QVERIFY(!kit->extractIfpFile(noManifest));

        const QString escaping = tmp.filePath("escape.ifp");
        {
            KZip zip(escaping);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            zip.writeFile("manifest.json", R"({"package":"../a.pak"})");
            zip.writeFile("a.pak", buildPackage(header(), "x"));
            zip.close();
        }
        QVERIFY(!kit->extractIfpFile(escaping));
    }

    // ---- upgrades of the virtual reader --------------------------------------------------------
    void upgradeInstallsAndKeepsSettings()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        QString id = connect(vr);
        QVERIFY(!id.isEmpty());
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage(id, settingsRequest("@DEVNAMfw-kept"), reply), 0);
        QCOMPARE(value(id, "DEVNAM"), QByteArray("fw-kept"));

        int error = -1;
        QVERIFY(kit->updateFirmwareFile(id, kSamples + "FM800-V1.01.000.pak", true, &error));
        QCOMPARE(error, 0);
        int first = 0, block = 0, step = 0, progress = 0;
        QVERIFY(kit->getUpdateFirmwareState(id, first, block, step, progress));
        QCOMPARE(step, 3);
        QCOMPARE(progress, 1000);
        QCOMPARE(block, 4);
        QVERIFY(first >= 3);  // begin, set parameters, data, finish
        kit->disconnectFromDeviceEx(id);

        QCOMPARE(versionAfterwards(vr, &id), QString("V1.01.000"));
        QCOMPARE(value(id, "DEVNAM"), QByteArray("fw-kept"));
        kit->disconnectFromDeviceEx(id);
        // Installed means stored: the reader program starting again still runs it.
        QVERIFY(vr.restart({"--model", "KXS-FM800"}));
        QCOMPARE(versionAfterwards(vr), QString("V1.01.000"));
    }

    void ifpCheckedAgainstReader()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const QString id = connect(vr);
        QVERIFY(!id.isEmpty());
        const QString ifp = kSamples + "FM800-V1.01.000.ifp";
        QVERIFY(kit->extractIfpFile(ifp));
        QCOMPARE(kit->checkUpdateFirmwareInfo(id, ifp), 0);
        QCOMPARE(kit->checkUpdateFirmwareInfo(id, kSamples + "EM30-V1.01.000.pak"), 5);
        QVERIFY(kit->updateFirmwareFile(id, ifp, true));
        kit->disconnectFromDeviceEx(id);
        QCOMPARE(versionAfterwards(vr), QString("V1.01.000"));
        // Without a link the reader cannot be asked.
        QCOMPARE(kit->checkUpdateFirmwareInfo(QStringLiteral("no-such-link"), ifp), 2);
    }

    void refusedUpgradesKeepOldFirmware_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("package");
        QTest::addColumn<int>("error");
        QTest::newRow("wrong product") << QStringList{} << "EM30-V1.01.000.pak" << 5;
        // Only the trailing digest is wrong: the kit's CRC checks pass, the reader refuses it.
        QTest::newRow("digest damaged") << QStringList{} << "FM800-V1.01.000-badsum.pak" << 209;
        QTest::newRow("downgrade in strict mode") << QStringList{} << "FM800-V0.90.000-downgrade.pak" << 218;
        QTest::newRow("reader refuses") << QStringList{"--refuse-firmware", "213"}
                                        << "FM800-V1.01.000.pak" << 213;
        // Role frame, begin, then a few of the 17 chunks: the link drops halfway.
        QTest::newRow("link dropped halfway") << QStringList{"--drop-after", "10"}
                                              << "FM800-V1.01.000.pak" << 211;
    }
    void refusedUpgradesKeepOldFirmware()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, package);
        QFETCH(int, error);
        VReaderProcess vr;
        QVERIFY(vr.start(QStringList{"--model", "KXS-FM800"} + args));
        const QString id = connect(vr);
        QVERIFY(!id.isEmpty());
        int code = 0;
        QVERIFY(!kit->updateFirmwareFile(id, kSamples + package, true, &code));
        QCOMPARE(code, error);
        kit->disconnectFromDeviceEx(id);
        QCOMPARE(versionAfterwards(vr), QString("V1.00.000"));
    }

    void strictRefusalThenNonStrictInstalls()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const QString id = connect(vr);
        QVERIFY(!id.isEmpty());
        const QString pkg = kSamples + "FM800-V0.90.000-downgrade.pak";
        int code = 0;
        QVERIFY(!kit->updateFirmwareFile(id, pkg, true, &code));
        QCOMPARE(code, 218);
        QVERIFY(kit->updateFirmwareFile(id, pkg, false, &code));
        QCOMPARE(code, 0);
        kit->disconnectFromDeviceEx(id);
        QCOMPARE(versionAfterwards(vr), QString("V0.90.000"));
    }

    // The reader's own checks, with steps a correct kit would never send.
    void readerChecksTransfer_data()
    {
        QTest::addColumn<int>("damage");  // 0 wrong CRC-32, 1 short, 2 chunk out of order
        QTest::addColumn<int>("error");
        QTest::newRow("transfer checksum") << 0 << 603;
        QTest::newRow("fewer bytes than announced") << 1 << 603;
        QTest::newRow("chunk out of order") << 2 << 211;
    }
    void readerChecksTransfer()
    {
        QFETCH(int, damage);
        QFETCH(int, error);
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const QString id = connect(vr);
        QVERIFY(!id.isEmpty());
        QFile f(kSamples + "FM800-V1.01.000.pak");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        auto step = [&](const QByteArray &request) {
            QByteArray reply, payload;
            quint8 kind = 0;
            Answer a;
            a.error = -1;
            if (kit->sendBinaryMessage(id, KxFrame::encode(KxFrame::FirmwareStep, request), reply) == 0
                && KxFrame::decode(reply, &kind, &payload) && kind == KxFrame::FirmwareReply)
                parseAnswer(payload, &a);
            return a;
        };
        const quint32 crc = crc32(bytes) ^ (damage == 0 ? 1u : 0u);
        QVERIFY(step(makeBegin("x.pak", bytes.size(), crc, true)).ok);
        int last = 0;
        const int chunk = 65536;  // smaller than the largest step, so the sample takes many
        const int stop = damage == 1 ? bytes.size() - chunk : bytes.size();
        for (int off = 0; off < stop; off += chunk) {
            const int at = damage == 2 && off == 2 * chunk ? off + chunk : off;
            const Answer a = step(makeData(quint32(at), bytes.mid(at, chunk)));
            last = a.ok ? 0 : a.error;
            if (!a.ok)
                break;
            QVERIFY(a.progress > 0 && a.progress <= 1000);
        }
        if (last == 0) {
            const Answer end = step(makeStep(End));
            QVERIFY(!end.ok);
            last = end.error;
        }
        QCOMPARE(last, error);
        QCOMPARE(step(makeStep(State)).error, error);
        kit->disconnectFromDeviceEx(id);
        QCOMPARE(versionAfterwards(vr), QString("V1.00.000"));
    }

    void notConnectedAndBadFile()
    {
        int code = 0;
        QVERIFY(!kit->updateFirmwareFile("nobody", kSamples + "FM800-V1.01.000.pak", true, &code));
        QCOMPARE(code, 203);
        // A package whose payload CRC-32 does not match is refused before any link is used.
        QFile f(kSamples + "FM800-V1.01.000.pak");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 4);
        const QString damaged = tmp.filePath("payload.pak");
        QVERIFY(writeFile(damaged, bytes));
        QVERIFY(!kit->updateFirmwareFile("nobody", damaged, true, &code));
        QCOMPARE(code, 209);
    }
};

QTEST_GUILESS_MAIN(TstFirmware)
#include "tst_firmware.moc"
