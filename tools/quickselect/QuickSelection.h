#pragma once
// Settings proposed for an application: which symbologies, how far, how fast, what labels.
// The rules are in docs/quick-selection.md. No widgets and no reader: the caller says which
// commands the reader has and their values, and decides which proposals to send.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

struct QuickApplication
{
    enum Distance { Near, Medium, Far };
    enum Speed { Still, Slow, Fast };
    enum Label { Paper, Glossy, Marked };
    QStringList symbologies;  // names as in the symbology table ("Code 128", "QR Code")
    Distance distance = Medium;
    Speed speed = Slow;
    Label label = Paper;
};

struct QuickChange
{
    QString code;
    QByteArray current;
    QByteArray proposed;
    QString reasonKey;  // "#IDS_QuickSel_Why..." text key saying why
};

class QuickSelection
{
public:
    using Has = std::function<bool(const QString &code)>;
    using Value = std::function<QByteArray(const QString &code)>;

    // The symbologies whose switch a reader may have, with their switch codes, in table order.
    static const QVector<QPair<QString, QString>> &symbologySwitches();
    // The symbologies this reader can switch.
    static QStringList switchable(const Has &has);
    // The changes that make the reader fit the application: only codes the reader has, and
    // only where the proposed value differs from the current one.
    static QVector<QuickChange> propose(const QuickApplication &app, const Has &has, const Value &value);
};
