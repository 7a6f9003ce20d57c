#pragma once
// Command line of brevan-vreader.
#include "VrFaults.h"

#include <QHostAddress>
#include <QSize>
#include <QString>
#include <QStringList>

struct VrOptions
{
    QString model = QStringLiteral("KXS-FM800");
    QString serial;  // base; readers get base + index
    QString stateDir;
    QHostAddress address = QHostAddress(QStringLiteral("127.0.0.2"));
    quint16 port = 36520;
    quint16 logPort = 36521;
    quint16 discoveryPort = 36522;
    int count = 1;
    int bufferSize = 4096;  // what "BUFQRY" reports
    int configSets = 4;     // configuration sets of the models that have them
    bool pty = false;
    bool demo = false;
    QString modelsDir;
    QString sceneFile;   // what the cameras see; empty: each model's own scene
    QString configFile;  // an exported configuration the reader starts with
    QList<QPair<QString, QByteArray>> settings;  // --set CODE=VALUE, applied after the configuration
    QSize sensor;        // sensor size of every reader; empty: the model's
    int loadRate = 0;    // load mode: results per second in continuous read modes
    int tags = 0;        // RFID readers: tags standing in the field; 0: pallets passing
    qint64 logSize = 0;  // each reader's stored log starts at least this large
    bool modelGiven = false;
    VrFaults faults;
};

// Parses the arguments (without the program name); false with a message for bad ones.
bool vrParseOptions(const QStringList &args, VrOptions *options, QString *error, bool *help);
QString vrHelpText();
// The n-th address after first (0 is first itself); null when it would leave 127.0.0.0/8.
QHostAddress vrAddressAt(const QHostAddress &first, int n);
