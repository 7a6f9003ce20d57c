#include "VrConfigFile.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "VrReaderEngine.h"

#include <QDomDocument>
#include <QFile>

bool VrConfigFile::read(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read configuration file %1").arg(path);
        return false;
    }
    QDomDocument doc;
    QString message;
    int line = 0;
    if (!doc.setContent(&f, &message, &line)) {
        *error = QStringLiteral("%1:%2: not well-formed XML: %3").arg(path).arg(line).arg(message);
        return false;
    }
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Brevan") && root.tagName() != QLatin1String("Brewan")) {
        *error = QStringLiteral("%1: root element \"%2\" is not a configuration").arg(path, root.tagName());
        return false;
    }
    deviceType = root.attribute(QStringLiteral("DeviceType"));
    commands.clear();
    for (QDomElement c = root.firstChildElement(QStringLiteral("Command")); !c.isNull();
         c = c.nextSiblingElement(QStringLiteral("Command"))) {
        commands.append({c.attribute(QStringLiteral("CommandName")),
                         c.attribute(QStringLiteral("Value")).toUtf8()});
    }
    return true;
}

void VrConfigFile::apply(VrReaderEngine &engine, QStringList *refused, QStringList *unknown) const
{
    // One command per request: a value the reader refuses does not hold up the others.
    for (const auto &c : commands) {
        const QByteArray frame = KxMakeBinarySettingsRequest({c}, true);
        if (frame.isEmpty()) {
            *refused << c.first;
            continue;
        }
        QByteArray value;
        const int result = KxGetDataStreamResult(engine.handleFrame(frame).reply, c.first, value);
        if (result == DataResult_Unknown)
            *unknown << c.first;
        else if (result != DataResult_Ack)
            *refused << c.first;
    }
}
