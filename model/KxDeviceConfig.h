#pragma once
// Records of the reader model description files: the device entries of "Devices.xml" and the
// command lists, triggers, symbologies and tools that the other description files carry.
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One "Device" entry of "Devices.xml".
struct KxDeviceConfig
{
    QString id;         // as written in the file
    QString name;
    QString icon;
    QString offlineXml; // offline directory + "/" + the "xml" attribute; empty without one
    QString set;        // setup code family, "SETUPE" unless given
    QString cmpkey;     // "|"-separated model names this model accepts configurations from
    bool hide = false;
    QString category;   // id of the Category the entry came from
    QString key;        // normalised id: the key it is stored under

    bool isValid() const { return !id.isEmpty(); }
};

struct KxDevicesData
{
    int type = 0;
    bool filter = true;
    // category id -> normalised device id -> entry, both ordered by key
    QMap<QString, QMap<QString, KxDeviceConfig>> categories;
};

struct KxSymbology
{
    QString name;
    QString value;
    int type = 0;
};

// One triggered item of "Events.xml".
struct KxEventTrigger
{
    QString item; // the triggered item (element text)
    QString link;
    int flag = 0;
};

struct KxEventTriggers
{
    int flag = 0; // the "Flag" of the Triggers element
    QList<KxEventTrigger> triggers;
    bool isEmpty() const { return triggers.isEmpty(); }
};

// A "Cmd" of a list that carries its own text: the id and the text split at ",".
struct KxCmdList
{
    QString id;
    QStringList cmds;
};

struct KxRefsData
{
    QMap<QString, QString> refs;
    QStringList endCmds;
    QStringList syncCmds;
    QStringList syncExtendData;
    QList<KxCmdList> getLenCmds;
    QStringList restrictExportCmds;
    QStringList resizeCmds;
    QList<KxCmdList> scripts;
};

// One "Tool" of "UILayout.xml"; `entries` are its child elements (such as the navigation
// entries of the advanced settings tool), each with the same four attributes.
struct KxUiTool
{
    QString tag;
    QString id;
    QString text;
    QString icon;
    QString property;
    QList<KxUiTool> entries;
};
