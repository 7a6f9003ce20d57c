// The frame checksum (CRC-16/X.25) against a plain bit-by-bit reference, over every length and
// start alignment the table-driven code distinguishes, and its use by the frame checks.
#include <QRandomGenerator>
#include <QtTest>

#include "KxBinaryFrame.h"
#include "KxFrameAssembler.h"

namespace {

// Bit-serial reference: reflected polynomial 0x8408, start 0xFFFF, result inverted.
quint16 referenceCrc(const QByteArray &bytes)
{
    quint16 c = 0xFFFF;
    for (char ch : bytes) {
        c ^= quint8(ch);
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? quint16((c >> 1) ^ 0x8408) : quint16(c >> 1);
    }
    return quint16(~c);
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(gen.bounded(256));
    return b;
}

}  // namespace

class TstKitFrameCrc : public QObject
{
    Q_OBJECT
private slots:
    void publishedCheckValues_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("expected");
        QTest::newRow("check string") << QByteArray("123456789") << 0x906E;
        QTest::newRow("empty") << QByteArray() << 0x0000;
    }
    void publishedCheckValues()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, expected);
        QCOMPARE(int(KxFrame::crc(input.constData(), input.size())), expected);
    }

    void matchesBitwiseReference_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offset");
        // Lengths around the eight-byte steps, at every start alignment.
        for (int size : {1, 2, 7, 8, 9, 15, 16, 17, 63, 64, 65, 255})
            for (int offset = 0; offset < 8; ++offset)
                QTest::addRow("%d bytes at +%d", size, offset) << size << offset;
        QTest::newRow("reply sized") << 11630 << 3;
        QTest::newRow("one mebibyte") << (1 << 20) << 0;
    }
    void matchesBitwiseReference()
    {
        QFETCH(int, size);
        QFETCH(int, offset);
        const QByteArray buffer = randomBytes(size + offset, quint32(size * 31 + offset));
        const QByteArray window = buffer.mid(offset);
        QCOMPARE(KxFrame::crc(buffer.constData() + offset, size), referenceCrc(window));
    }

    void allZeroAndAllOnesDiffer()
    {
        // A sum that ignored the data (or only its length) would give equal values here.
        const QByteArray zeros(64, '\0'), ones(64, char(0xFF));
        QCOMPARE(KxFrame::crc(zeros.constData(), zeros.size()), referenceCrc(zeros));
        QCOMPARE(KxFrame::crc(ones.constData(), ones.size()), referenceCrc(ones));
        QVERIFY(KxFrame::crc(zeros.constData(), 64) != KxFrame::crc(ones.constData(), 64));
    }

    void everySingleBitFlipIsCaught()
    {
        const QByteArray frame = KxFrame::encode(KxFrame::SettingsReply, randomBytes(40, 7));
        QVERIFY(KxFrame::decode(frame, nullptr, nullptr));
        // Payload bits only: head, kind, length and tail have checks of their own.
        for (int byte = 6; byte < frame.size() - 3; ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray damaged = frame;
                damaged[byte] = char(damaged[byte] ^ (1 << bit));
                QVERIFY2(!KxFrame::decode(damaged, nullptr, nullptr),
                         qPrintable(QStringLiteral("byte %1 bit %2").arg(byte).arg(bit)));
                KxFrameAssembler assembler(KxFrameAssembler::Side::Client);
                assembler.append(damaged);
                KxFrameAssembler::Frame f;
                QVERIFY(!assembler.next(&f) || f.type != KxFrameAssembler::FrameType::Binary);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TstKitFrameCrc)
#include "tst_kitframecrc.moc"
