// Logs into a virtual reader, reads every setting, changes ten values sent in two frames,
// saves them, restarts the reader and reads them back. Exit code 0 when all of it held.
#include "VReaderSession.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace VReaderSession;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    auto fail = [&out](const QString &why) {
        out << "FAILED: " << why << Qt::endl;
        return 1;
    };
    VReaderProcess vp;
    if (!vp.start({}))
        return fail(QStringLiteral("the virtual reader did not start"));
    QString why;
    auto c = login(vp, &why);
    if (!c)
        return fail(why);
    KxDeviceCommand *cmd = c->command();
    out << "read " << cmd->tagList(KxDeviceCommand::Values).size() << " settings" << Qt::endl;

    // Eight option settings and two texts, long enough that the batch needs two frames.
    QVector<ChangedCmdInfo> changes = pickChanges(cmd, 8);
    for (const auto &t : {qMakePair(QStringLiteral("DEVNAM"), QByteArray("ROUNDTRIP-") + QByteArray(20, 'n')),
                          qMakePair(QStringLiteral("DEVDES"), QByteArray(200, 'd'))}) {
        ChangedCmdInfo ch;
        ch.code = t.first;
        ch.value = t.second;
        changes << ch;
    }
    if (changes.size() != 10)
        return fail(QStringLiteral("only %1 settings to change").arg(changes.size()));
    KxCmdItems items;
    for (const ChangedCmdInfo &ch : changes)
        items.append({ch.code, ch.value.toByteArray()});
    // The smallest buffer that takes the batch in two frames.
    QByteArrayList frames;
    int buffer = KxCmdFraming::kMinBufferSize;
    while (KxCmdFraming::buildFrames(items, true, buffer, frames) && frames.size() > 2)
        buffer += 8;
    if (frames.size() != 2)
        return fail(QStringLiteral("the batch does not split in two frames"));
    cmd->setBufferSize(buffer);
    out << "saving " << changes.size() << " changes in " << frames.size() << " frames" << Qt::endl;
    QStringList failed;
    if (!cmd->saveCmds(changes, true, failed))
        return fail(QStringLiteral("save failed: %1").arg(failed.join(',')));

    c.reset();
    if (!vp.restart({}))
        return fail(QStringLiteral("the virtual reader did not restart"));
    c = login(vp, &why);
    if (!c)
        return fail(QStringLiteral("after restart: ") + why);
    int same = 0;
    for (const ChangedCmdInfo &ch : changes) {
        const QByteArray v = c->command()->value(ch.code);
        out << ch.code << " = " << QString::fromLatin1(v) << Qt::endl;
        same += v == ch.value.toByteArray();
    }
    if (same != changes.size())
        return fail(QStringLiteral("%1 of %2 values came back").arg(same).arg(changes.size()));
    out << "OK" << Qt::endl;
    return 0;
}
