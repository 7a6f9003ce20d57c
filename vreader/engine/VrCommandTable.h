#pragma once
// The commands a virtual reader answers: every item of its model's pages (with the item's
// default and accepted values) plus the reader's own special commands.
#include "KxValueRule.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

struct VrCommand
{
    enum Kind {
        Setting,   // a value that is kept, changed and stored
        ReadOnly,  // answered by the reader (product information, buffer size, identity)
        Action,    // does something (defaults, restart, counters clear)
    };
    QString code;
    Kind kind = Setting;
    KxValueRule rule;
    QByteArray defaultValue;
    bool communication = false;  // belongs to the link settings (interface, serial, network)
    bool fromPages = false;      // described by the model's pages: listed by "@*", "@^", "@&"
    QByteArray capabilityText;   // the "^" answer, worked out once the table is complete
};

class VrCommandTable
{
public:
    // Reads every page file of the model directory. False, with a message, when the directory
    // holds no readable page with a command.
    bool loadModelDir(const QString &modelDir, QString *error);
    // Adds the special commands of every reader (product information, counters, defaults...).
    // Live ones (answered or done by the reader itself) take over a page item of the same code,
    // keeping the item's default and accepted values.
    void addSpecialCommands();

    const VrCommand *find(const QString &code) const;
    const QStringList &codes() const { return m_order; }  // table order
    int size() const { return m_order.size(); }

    // Capability text of the "^" query: "0-3,5" for numbers and options, "T0-64" for text,
    // "H0-128" for hex text, else the rule's readable form.
    // "action" for the reader's own actions, "codes" for the list of unsaved differences.
    static QByteArray capability(const VrCommand &command);
    // False for the reader's own actions: they do something and hold no value, so "@*" and
    // "@&" leave them out. Page buttons have their page values.
    static bool hasValue(const VrCommand &command)
    {
        return command.kind != VrCommand::Action || command.fromPages;
    }
    static bool isCommunicationCode(const QString &code);

    // A reader with another number of configuration sets ("MPCADD") than the default.
    void setConfigSetCount(int count);

private:
    void add(const VrCommand &command);

    QHash<QString, VrCommand> m_commands;
    QStringList m_order;
};
