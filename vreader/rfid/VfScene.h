#pragma once
// The tags a virtual RFID reader has in front of its antennas, and how that set changes
// over time. Tags keep what is written into them for the life of the scene.
#include <QByteArray>
#include <QList>
#include <QMap>

struct VfTag
{
    QByteArray epc;       // 12 bytes (96 bits)
    QByteArray tid;       // 12 bytes, read-only
    QByteArray user;      // 64 bytes (32 words)
    QByteArray reserved;  // 8 bytes: kill password, access password
    int antenna = 1;      // the antenna (1..4) it passes closest to
    double nearest = 1.0; // metres from that antenna at its closest
    double speed = 0;     // m/s along the antenna's front; 0: standing
    qint64 enterMs = 0;   // in the field from this scene time...
    qint64 leaveMs = -1;  // ...to this one (-1: never leaves)

    qint64 closestMs() const { return leaveMs < 0 ? enterMs : (enterMs + leaveMs) / 2; }
    // Distance to antenna a (1..4) at scene time t; the other antennas are 3 m further away.
    double distance(int a, qint64 t) const;
    bool present(qint64 t) const { return t >= enterMs && (leaveMs < 0 || t < leaveMs); }
};

class VfScene
{
public:
    // count tags standing in front of the four antennas, always present.
    static VfScene standing(int count);
    // Pallets of 24 tags passing the dock doors of antennas 1 and 2: one every 8 s, each in the
    // field for 20 s, so two or three pallets are in view at a time.
    static VfScene passing();

    // The tags in the field at scene time t, in a stable order (pallet, then tag).
    QList<VfTag *> present(qint64 t);
    // The tag with this EPC that is in the field at t; null when none is.
    VfTag *find(const QByteArray &epc, qint64 t);
    int size() const { return m_tags.size(); }

private:
    void materialise(qint64 t);
    static VfTag makeTag(quint32 number);

    bool m_passing = false;
    QMap<quint32, VfTag> m_tags;  // by tag number; pallets past the field are dropped
};
