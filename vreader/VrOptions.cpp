#include "VrOptions.h"

#include <QRegularExpression>

QString vrHelpText()
{
    return QStringLiteral(
        "Usage: brevan-vreader [options]\n"
        "Runs virtual readers that answer like real ones on loopback TCP, UDP and pseudo-terminals.\n\n"
        "  --model <name>        reader model, e.g. KXS-FM800 (default), KXS-HS120, KXS-SC500\n"
        "  --serial <base>       serial number base; readers get <base>0001, <base>0002, ...\n"
        "  --state <dir>         keep stored settings, aliases and addresses in this folder\n"
        "                        (without it nothing survives a restart of the program)\n"
        "  --address <ip>        address of the first network reader (default 127.0.0.2);\n"
        "                        each further reader takes the next address; 127.0.0.0/8 only\n"
        "  --port <n>            command port (default 36520)\n"
        "  --log-port <n>        log port (default 36521)\n"
        "  --discovery-port <n>  UDP discovery port (default 36522)\n"
        "  --count <n>           number of network readers (default 1, 0 with --pty only)\n"
        "  --pty                 also run one reader on a pseudo-terminal; prints \"pty: <path>\"\n"
        "  --demo                two fixed-mount readers, the camera, an RFID reader and the\n"
        "                        hand-held scanner on a pseudo-terminal; pty paths go to\n"
        "                        <state>/ptys.txt\n"
        "  --models-dir <dir>    model descriptions (default: models beside the program)\n"
        "  --buffer-size <n>     receive buffer size in bytes that \"BUFQRY\" reports, the largest\n"
        "                        batch body a client should send (default 4096, 128 to 1048576)\n"
        "  --config-sets <n>     configuration sets of the models that have them (default 4, 1 to 8)\n"
        "Camera:\n"
        "  --scene <file>        what the readers see (JSON, see docs/virtual-reader.md); a changed\n"
        "                        file is picked up while running\n"
        "  --sensor <W>x<H>      sensor size of every reader (default: the model's)\n"
        "  --config <file>       start from an exported configuration file; its reader model is\n"
        "                        used unless --model is given\n"
        "  --set <CODE>=<value>  every reader starts running and storing this value (repeatable;\n"
        "                        after --config), e.g. --set SCNMOD=1 for continuous reading\n"
        "  --load-rate <n>       load mode: continuous read modes send n results per second made\n"
        "                        from the scene's known codes, without decoding images\n"
        "RFID readers:\n"
        "  --tags <n>            n tags stand in front of the antennas (default: pallets of tags\n"
        "                        pass by, a new one every 8 s)\n"
        "Log:\n"
        "  --log-size <n>        each reader's stored log starts at least n bytes large, with\n"
        "                        earlier history (K and M suffixes; at most 128M)\n"
        "Faults:\n"
        "  --delay-ms <n>        delay every reply by n ms\n"
        "  --drop-after <n>      drop a link, unanswered, at its frame n+1\n"
        "  --refuse <code>       always refuse this command (status 21)\n"
        "  --refuse-firmware <n> refuse every firmware package with error code n (e.g. 213)\n"
        "  --corrupt-every <n>   corrupt every n-th reply\n"
        "  --empty-query-all     answer \"@*\" (all current values) with no items\n"
        "  --no-read-every <n>   every n-th triggered read finds no code (counted as a no-read)\n"
        "  --help                this text\n");
}

QHostAddress vrAddressAt(const QHostAddress &first, int n)
{
    const quint32 v = first.toIPv4Address() + quint32(n);
    const QHostAddress a(v);
    if ((v >> 24) != 127 || (v & 0xFF) == 0 || (v & 0xFF) == 255)
        return QHostAddress();
    return a;
}

bool vrParseOptions(const QStringList &args, VrOptions *o, QString *error, bool *help)
{
    *help = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString *out) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *out = args[++i];
            return true;
        };
        auto number = [&](int *out, int lo, int hi) {
            QString v;
            if (!value(&v))
                return false;
            bool ok = false;
            const int n = v.toInt(&ok);
            if (!ok || n < lo || n > hi) {
                *error = QStringLiteral("%1 must be a number from %2 to %3").arg(a).arg(lo).arg(hi);
                return false;
            }
            *out = n;
            return true;
        };
        int n = 0;
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            *help = true;
        } else if (a == QLatin1String("--model")) {
            if (!value(&o->model))
                return false;
            o->modelGiven = true;
        } else if (a == QLatin1String("--serial")) {
            if (!value(&o->serial))
                return false;
        } else if (a == QLatin1String("--state")) {
            if (!value(&o->stateDir))
                return false;
        } else if (a == QLatin1String("--models-dir")) {
            if (!value(&o->modelsDir))
                return false;
        } else if (a == QLatin1String("--address")) {
            if (!value(&v))
                return false;
            o->address = QHostAddress(v);
            if (o->address.protocol() != QAbstractSocket::IPv4Protocol
                || !o->address.isInSubnet(QHostAddress::LocalHost, 8)) {
                *error = QStringLiteral("--address must be an address in 127.0.0.0/8");
                return false;
            }
        } else if (a == QLatin1String("--port")) {
            if (!number(&n, 1, 65535))
                return false;
            o->port = quint16(n);
        } else if (a == QLatin1String("--log-port")) {
            if (!number(&n, 1, 65535))
                return false;
            o->logPort = quint16(n);
        } else if (a == QLatin1String("--discovery-port")) {
            if (!number(&n, 1, 65535))
                return false;
            o->discoveryPort = quint16(n);
        } else if (a == QLatin1String("--count")) {
            if (!number(&o->count, 0, 200))
                return false;
        } else if (a == QLatin1String("--config-sets")) {
            if (!number(&o->configSets, 1, 8))
                return false;
        } else if (a == QLatin1String("--buffer-size")) {
            if (!number(&o->bufferSize, 128, 1 << 20))
                return false;
        } else if (a == QLatin1String("--scene")) {
            if (!value(&o->sceneFile))
                return false;
        } else if (a == QLatin1String("--config")) {
            if (!value(&o->configFile))
                return false;
        } else if (a == QLatin1String("--set")) {
            if (!value(&v))
                return false;
            const int eq = v.indexOf(QLatin1Char('='));
            if (eq != 6 || !QRegularExpression(QStringLiteral("^[A-Z0-9]{6}$")).match(v.left(6)).hasMatch()) {
                *error = QStringLiteral("--set takes CODE=VALUE with a six-letter command code");
                return false;
            }
            o->settings.append({v.left(6), v.mid(7).toUtf8()});
        } else if (a == QLatin1String("--sensor")) {
            if (!value(&v))
                return false;
            const QStringList wh = v.split(QLatin1Char('x'));
            o->sensor = QSize(wh.value(0).toInt(), wh.value(1).toInt());
            if (wh.size() != 2 || o->sensor.width() < 64 || o->sensor.height() < 64
                || o->sensor.width() > 4096 || o->sensor.height() > 4096) {
                *error = QStringLiteral("--sensor must be <width>x<height>, 64 to 4096 pixels");
                return false;
            }
        } else if (a == QLatin1String("--log-size")) {
            QString v;
            if (!value(&v))
                return false;
            qint64 factor = 1;
            if (v.endsWith(QLatin1Char('K'), Qt::CaseInsensitive))
                factor = 1024;
            else if (v.endsWith(QLatin1Char('M'), Qt::CaseInsensitive))
                factor = 1024 * 1024;
            bool ok = false;
            const qint64 n = (factor == 1 ? v : v.left(v.size() - 1)).toLongLong(&ok);
            if (!ok || n < 0 || n * factor > 128ll * 1024 * 1024) {
                *error = QStringLiteral("--log-size: %1 is not a size up to 128M").arg(v);
                return false;
            }
            o->logSize = n * factor;
        } else if (a == QLatin1String("--tags")) {
            if (!number(&o->tags, 1, 100000))
                return false;
        } else if (a == QLatin1String("--load-rate")) {
            if (!number(&o->loadRate, 1, 100000))
                return false;
        } else if (a == QLatin1String("--empty-query-all")) {
            o->faults.emptyQueryAll = true;
        } else if (a == QLatin1String("--no-read-every")) {
            if (!number(&o->faults.noReadEvery, 0, 1 << 30))
                return false;
        } else if (a == QLatin1String("--pty")) {
            o->pty = true;
        } else if (a == QLatin1String("--demo")) {
            o->demo = true;
        } else if (a == QLatin1String("--delay-ms")) {
            if (!number(&o->faults.delayMs, 0, 600000))
                return false;
        } else if (a == QLatin1String("--drop-after")) {
            if (!number(&o->faults.dropAfter, 0, 1 << 30))
                return false;
        } else if (a == QLatin1String("--corrupt-every")) {
            if (!number(&o->faults.corruptEvery, 0, 1 << 30))
                return false;
        } else if (a == QLatin1String("--refuse-firmware")) {
            if (!number(&o->faults.refuseFirmware, 1, 999))
                return false;
        } else if (a == QLatin1String("--refuse")) {
            if (!value(&o->faults.refuseCode))
                return false;
        } else {
            *error = QStringLiteral("unknown option %1 (see --help)").arg(a);
            return false;
        }
    }
    if (o->logPort == o->port) {
        *error = QStringLiteral("--log-port must differ from --port");
        return false;
    }
    return true;
}
