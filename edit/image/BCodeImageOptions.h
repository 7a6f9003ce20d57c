#pragma once
// The acquisition parameters offered for image requests and where they are kept (settings
// group "IMGGET": "cmd" = "type,ratio,format,quality,prepro", "interval", "ai", "GLI").
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>

struct BCodeImageOptions
{
    enum Param { Type, Ratio, Format, Quality, Prepro, Position, ParamCount };
    using Offer = QPair<QString, QString>;  // value, shown text

    QString type = QStringLiteral("0");
    QString ratio = QStringLiteral("0");
    QString format = QStringLiteral("0");
    QString quality;
    QString prepro;
    QString position = QStringLiteral("0");
    QString gliType;
    int intervalMs = 200;

    static constexpr int kMinIntervalMs = 50;
    static constexpr int kMaxIntervalMs = 60000;

    // The values offered for a parameter with their texts (translated from the parameter's key,
    // whose text lists the names separated by "|").
    static QList<Offer> offered(Param p);
    static QString textKey(Param p);

    static BCodeImageOptions load();
    // False (nothing stored) unless type, ratio and format are all chosen.
    bool store() const;
    QString storedCmd() const;

    // The shown size of a blank image: ratio "1" halves the sensor, "2" quarters it.
    static QSize blankSize(const QSize &sensor, const QString &ratio);
};
