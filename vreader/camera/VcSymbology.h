#pragma once
// The symbologies a virtual reader can show and read: the name and code id of the model data
// ("Symbologies.xml"), the Zint symbology that draws it, the ZXing format that reads it and the
// reader command that enables it.
#include <QList>
#include <QString>

struct VcSymbology
{
    QString name;    // "Data Matrix"
    QString codeId;  // "033"
    int zint = 0;    // Zint symbology id
    int zxing = 0;   // ZXing::BarcodeFormat bits; 0 when ZXing cannot read it
    QString enable;  // "DMXENA"
    bool twoD = false;
};

namespace VcSymbologies {
const QList<VcSymbology> &all();
// By name, ignoring case, spaces, "-" and "_" ("datamatrix", "Code-128", "QR Code").
const VcSymbology *byName(const QString &name);
const VcSymbology *byCodeId(const QString &codeId);
// The symbology a ZXing result of this format stands for; GS1 Code 128 when gs1 is set.
const VcSymbology *byZxing(int format, bool gs1);
}  // namespace VcSymbologies
