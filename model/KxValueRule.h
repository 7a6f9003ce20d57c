#pragma once
// What a command accepts, read from the item that stands for it: its default and its option
// list, numeric range or text length. The settings pages and the virtual reader both ask this
// one place, so a value the pages can produce is a value the reader takes.
#include "KxFeatureInfo.h"
#include "KxOptionList.h"

#include <QString>
#include <QStringList>

struct KxItemInfo;

struct KxValueRule
{
    enum Kind {
        Free,        // anything (buttons, panels, special controls)
        Option,      // one key of the option list
        OptionSet,   // keys of the option list joined with "|" (check boxes)
        Integer,     // a decimal integer in [minimum, maximum]
        Real,        // a number in [minimum, maximum]
        IntPair,     // two integers joined by `separator` (range box, point, size)
        RealPair,    // two numbers joined by `separator`
        IntLine,     // two points "x,y|x,y"
        SwitchValue, // "state|value" of the toggle slider
        Text,        // text up to maxLength characters
        Hex,         // hexadecimal digits (blanks ignored) up to maxLength characters
        Ipv4,        // dotted IPv4 address
    };

    Kind kind = Free;
    QString controlType;
    QString defaultValue;
    bool hasDefault = false;

    QList<KxFeatureInfo> options; // after Limit, hidden ones included (the reader takes them)
    QStringList hidden;           // StringListHide: not offered, still accepted

    bool hasMinimum = false;
    bool hasMaximum = false;
    double minimum = 0;
    double maximum = 0;
    qint64 multiple = 1;  // sliders: value = remainder + position x multiple
    qint64 remainder = 0;
    int parity = 0;       // 1 odd only, 2 even only
    KxLimit limit;
    QChar separator;

    int maxLength = -1; // -1: no limit
    QString pattern;    // full-match regular expression for text, when given

    static KxValueRule fromItem(const KxItemInfo &item);

    bool isNumeric() const;
    bool needsOptions() const;
    bool needsRange() const;
    // True when the control needs options or a range and has none (or the range is empty).
    bool isEmpty(QString *why = nullptr) const;
    bool accepts(const QString &value, QString *why = nullptr) const;
    // A short readable form: "0:Off|1:On", "0..100", "text <= 32".
    QString describe() const;

private:
    bool acceptsInteger(const QString &v, QString *why) const;
    bool acceptsReal(const QString &v, QString *why) const;
};
