#include "VfScene.h"

#include <QtEndian>
#include <cmath>

namespace {
constexpr int kPalletTags = 24;
constexpr qint64 kPalletEveryMs = 8000;
constexpr qint64 kPalletInFieldMs = 20000;
constexpr double kPalletSpeed = 0.5;  // m/s: 5 m either side of the closest point
}  // namespace

double VfTag::distance(int a, qint64 t) const
{
    const double along = speed * double(qAbs(t - closestMs())) / 1000.0;
    const double d = std::sqrt(nearest * nearest + along * along);
    return a == antenna ? d : d + 3.0;
}

VfTag VfScene::makeTag(quint32 number)
{
    VfTag tag;
    // EPC: a fixed header and the tag number; TID: maker and serial, as chips carry them.
    tag.epc = QByteArray::fromHex("30340242");
    tag.epc.resize(12);
    qToBigEndian<quint32>(0x1000u + number / 100000u, tag.epc.data() + 4);
    qToBigEndian<quint32>(number, tag.epc.data() + 8);
    tag.tid = QByteArray::fromHex("E2801130");
    tag.tid.resize(12);
    qToBigEndian<quint32>(0x2000u, tag.tid.data() + 4);
    qToBigEndian<quint32>(number * 2654435761u, tag.tid.data() + 8);
    tag.user = QByteArray(64, '\0');
    tag.reserved = QByteArray(8, '\0');
    return tag;
}

VfScene VfScene::standing(int count)
{
    VfScene s;
    for (int i = 0; i < count; ++i) {
        VfTag tag = makeTag(quint32(i + 1));
        tag.antenna = 1 + i % 4;
        tag.nearest = 0.5 + (i % 7) * 0.5;  // 0.5 .. 3.5 m
        s.m_tags.insert(quint32(i + 1), tag);
    }
    return s;
}

VfScene VfScene::passing()
{
    VfScene s;
    s.m_passing = true;
    return s;
}

void VfScene::materialise(qint64 t)
{
    if (!m_passing)
        return;
    const qint64 first = qMax<qint64>(0, (t - kPalletInFieldMs) / kPalletEveryMs);
    const qint64 last = qMax<qint64>(0, t / kPalletEveryMs);
    // Pallets that left long ago go; written memory of a tag lives as long as its pallet is near.
    while (!m_tags.isEmpty() && qint64(m_tags.firstKey() / kPalletTags) < first - 1)
        m_tags.erase(m_tags.begin());
    for (qint64 p = first; p <= last; ++p) {
        const quint32 base = quint32(p * kPalletTags);
        if (m_tags.contains(base + 1))
            continue;
        for (int i = 0; i < kPalletTags; ++i) {
            VfTag tag = makeTag(base + 1 + quint32(i));
            tag.antenna = 1 + int(p % 2);
            tag.nearest = 0.8 + (i % 6) * 0.3;  // the tags' places on the pallet
            tag.speed = kPalletSpeed;
            tag.enterMs = p * kPalletEveryMs;
            tag.leaveMs = tag.enterMs + kPalletInFieldMs;
            m_tags.insert(base + 1 + quint32(i), tag);
        }
    }
}

QList<VfTag *> VfScene::present(qint64 t)
{
    materialise(t);
    QList<VfTag *> out;
    for (auto it = m_tags.begin(); it != m_tags.end(); ++it) {
        if (it->present(t))
            out << &it.value();
    }
    return out;
}

VfTag *VfScene::find(const QByteArray &epc, qint64 t)
{
    for (VfTag *tag : present(t)) {
        if (tag->epc == epc)
            return tag;
    }
    return nullptr;
}
