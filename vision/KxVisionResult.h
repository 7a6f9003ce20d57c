#pragma once
// One run or test result of a camera as its result frame carries it: the verdict, the outputs
// of every node, the regions found and, for tests and full-result workflows, the image.
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QSize>
#include <QString>
#include <QStringList>

struct KxVisionResult
{
    QString kind;       // "test" or "run"
    qint64 seq = 0;     // the camera's frame count; a gap means frames were lost
    bool timed = false; // from a started run or test, not a single call
    QString triggerId;
    QString workflow;
    bool ok = false;
    QString error;
    QString result;
    QJsonObject outputs;  // "<Index>.<id>" -> value
    QJsonArray regions;   // {"node", "kind", "points" [x0,y0,...], "label"} in sensor pixels
    QStringList trace;
    QImage image;         // at sensor size; null when the frame carries none

    // False (out untouched) for a payload that is not such a result. withImage false skips
    // decoding the picture (results that are counted, not shown).
    static bool parse(const QByteArray &payload, KxVisionResult *out, bool withImage = true);
    // The same fields from the reply of a single run or test (image as base64 PNG).
    static KxVisionResult fromReply(const QJsonObject &reply, const QString &kind);
};
