#pragma once
// A conveyor line for the statistics tests and pictures: numbered Code 128 labels, a known share
// of them printed without contrast so that no reader can read them.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace StatisticsTestScene {
constexpr double kLabelsPerSecond = 16;
constexpr double kUnreadable = 0.25;

inline QByteArray json()
{
    return QByteArray(R"({"sensor":[640,400],"seed":7,"conveyor":{"rate":)") + QByteArray::number(kLabelsPerSecond)
        + R"(,"unreadable":)" + QByteArray::number(kUnreadable)
        + R"(,"label":[{"symbology":"Code 128","text":"BOX-{n}","x":320,"y":200,"module":2}]}})";
}

inline bool write(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(json()) > 0;
}
}  // namespace StatisticsTestScene
