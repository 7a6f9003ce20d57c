#pragma once
// The radio side of a virtual UHF RFID reader: inventory rounds over the tags of its scene with
// the reader's settings, tag frames for what it reads, and access to a tag's memory banks.
#include "VfScene.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

// The settings an inventory runs with, as the reader's settings hold them.
struct VfSettings
{
    QList<double> channels;  // kHz, the hop set (already chosen from the region's table)
    int powerDbm = 30;
    int session = 0;         // 0..3
    int q = 4;               // 2^q slots in a query round
    int antennas = 1;        // bit 0 = antenna 1 ... bit 3 = antenna 4
    int rounds = 0;          // rounds per inventory; 0: until stopped
};

class VfReader
{
public:
    explicit VfReader(VfScene scene);

    // One tag frame: AA 55 BB CC, u16 body length, body (antenna, RSSI, EPC), XOR of the body.
    static QByteArray tagFrame(int antenna, int rssi, const QByteArray &epc);
    // Whether a tag at distance d (m) is powered at this transmit power, and its RSSI (dBm).
    static bool powered(int powerDbm, double d);
    static int rssi(int powerDbm, double d, const QByteArray &epc, double channelKHz);

    void start(const VfSettings &settings);
    void stop() { m_running = false; }
    bool running() const { return m_running; }
    // Runs the rounds that are due by now (at most a bounded number of frames per call) and
    // returns their tag frames; the inventory stops by itself after its rounds.
    QList<QByteArray> tick();
    // Runs exactly n rounds at once, whatever the time (in-process users and tests).
    QList<QByteArray> runRounds(int n);

    // Counters of the reader since start: rounds, tag reads, the frequency of the last round
    // (kHz), tags in the field now.
    qint64 rounds() const { return m_rounds; }
    qint64 reads() const { return m_reads; }
    double frequency() const { return m_frequency; }
    int tagsInField();

    enum Bank { Reserved = 0, EpcBank = 1, TidBank = 2, UserBank = 3 };
    // Memory access of a tag in the field that the current power reaches on an enabled
    // antenna. Read: words as upper-case hex; write: hex data of whole words. Errors are the
    // words "NOTAG", "RANGE", "LOCKED" and "BADREQ".
    bool readMemory(const QByteArray &epc, int bank, int wordPtr, int words, QByteArray *hex,
                    QString *error);
    bool writeMemory(const QByteArray &epc, int bank, int wordPtr, const QByteArray &hex,
                     QString *error);
    void setSettings(const VfSettings &settings) { m_settings = settings; }

    // CRC-16 of the EPC bank (PC word and EPC), as stored in its word 0.
    static quint16 epcCrc(const QByteArray &pcAndEpc);

private:
    qint64 sceneTime() const;
    // One round on the next enabled antenna and channel; its tag frames go to out.
    void round(QList<QByteArray> *out);
    QByteArray epcBank(const VfTag &tag) const;
    VfTag *reachable(const QByteArray &epc);

    VfScene m_scene;
    VfSettings m_settings;
    QElapsedTimer m_clock;      // scene time while no inventory runs
    bool m_running = false;
    qint64 m_startScene = 0;    // scene time when the inventory started
    QElapsedTimer m_started;
    double m_simMs = 0;         // radio time the inventory has used
    int m_roundsLeft = 0;
    int m_antennaTurn = 0;
    int m_channelTurn = 0;
    qint64 m_rounds = 0;
    qint64 m_reads = 0;
    double m_frequency = 0;
    QHash<QByteArray, qint64> m_quietUntil;  // sessions 1-3: tags that keep silent, by EPC
};
