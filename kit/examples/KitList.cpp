// brevan-kit-list: lists the readers the device kit discovers on the scan list and the serial
// ports, then exits. Uses nothing but the kit.
#include "KxDeviceKit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QTextStream>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevan-kit-list"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the readers found on the network (loopback addresses only) and on serial ports."));
    parser.addHelpOption();
    const QCommandLineOption scanOpt(QStringLiteral("scan"),
        QStringLiteral("Addresses to search: addresses, ranges a-b or CIDR blocks in "
                       "127.0.0.0/8 (default: BREVAN_SCAN_ADDRESSES, else 127.0.0.1-127.0.0.254)."),
        QStringLiteral("list"));
    const QCommandLineOption serialOpt(QStringLiteral("serial"),
        QStringLiteral("Serial ports to probe, comma-separated (default: BREVAN_SERIAL_PORTS and "
                       "BREVAN_SERIAL_PORTS_FILE)."),
        QStringLiteral("ports"));
    const QCommandLineOption portOpt(QStringLiteral("discovery-port"),
        QStringLiteral("UDP discovery port (default: BREVAN_DISCOVERY_PORT, else 36522)."),
        QStringLiteral("port"));
    const QCommandLineOption timeOpt(QStringLiteral("time"),
        QStringLiteral("How long to listen, in milliseconds (default 3000)."), QStringLiteral("ms"),
        QStringLiteral("3000"));
    parser.addOptions({scanOpt, serialOpt, portOpt, timeOpt});
    parser.process(app);

    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (parser.isSet(scanOpt))
        kit->setScanAddresses(parser.value(scanOpt));
    if (parser.isSet(serialOpt))
        kit->setSerialPorts(parser.value(serialOpt).split(QLatin1Char(','), Qt::SkipEmptyParts));
    if (parser.isSet(portOpt))
        kit->setDiscoveryPort(quint16(parser.value(portOpt).toUInt()));

    QMap<QString, KxDeviceInfoMap> found;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, &app,
                     [&found](const QString &id, const QMap<QString, QString> &info) { found.insert(id, info); });
    QObject::connect(kit, &KxDeviceKit::deviceOffLine, &app,
                     [&found](const QString &id) { found.remove(id); });

    const int listenMs = qBound(200, parser.value(timeOpt).toInt(), 600000);
    kit->startDeviceScan(ScanType_All, 1000);
    QTimer::singleShot(listenMs, &app, [&] {
        kit->stopDeviceScan(ScanType_All);
        QTextStream out(stdout);
        out << found.size() << " reader(s)\n";
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            const KxDeviceInfoMap &i = it.value();
            const bool local = i.contains(QStringLiteral("Device Type"));
            out << (local ? "serial  " : "network ") << it.key() << "  "
                << i.value(QStringLiteral("Product Name")) << "  SN "
                << i.value(QStringLiteral("Serial Number")) << "  "
                << (local ? i.value(QStringLiteral("Device Type")) + QStringLiteral(" ")
                                + i.value(QStringLiteral("Port Name"))
                          : i.value(QStringLiteral("Ip Address")) + QLatin1Char(':')
                                + i.value(QStringLiteral("Cmd Port")))
                << '\n';
        }
        out.flush();
        app.quit();
    });
    return app.exec();
}
