#include "KxControlTypes.h"

#include <QHash>

namespace KxControlTypes {

const QList<KxControlTypeInfo> &standardTypes()
{
    static const QList<KxControlTypeInfo> table = {
        {"Label", "KxLabel", ""},
        {"Button", "KxButton", ""},
        {"ButtonGroup", "KxButtonGroup", ""},
        {"CheckBox", "KxCheckBox", ""},
        {"ToggleButton", "KxToggleButtonPrivate", "int"},
        {"ToggleSlider", "KxToggleSlider", ""},
        {"ComboBox", "KxComboBox", ""},
        {"SpinBox", "KxSpinBox", "int"},
        {"Panel", "KxPanel", ""},
        {"HexEdit", "KxHexEdit", ""},
        {"RangeBox", "KxRangeBox", "range_int"},
        {"DoubleRangeBox", "KxDoubleRangeBox", "range_double"},
        {"LineEdit", "KxLineEdit", ""},
        {"TextEdit", "KxTextEdit", ""},
        {"Radio", "KxRadioButton", ""},
        {"Point", "KxPoint", "point_int"},
        {"DoublePoint", "KxDoublePoint", "point_double"},
        {"Size", "KxSize", "size_int"},
        {"DoubleSize", "KxDoubleSize", "size_double"},
        {"Line", "KxLine", "line_int"},
        {"Slider", "KxSlider", "int"},
        {"DoubleSlider", "KxDoubleSlider", "range_int"},
        {"SpinSlider", "KxSpinSlider", "int"},
        {"StateSlider", "KxStateSlider", ""},
        {"DoubleSpinBox", "KxDoubleSpinBox", "double"},
        {"Ipv4", "KxIPV4", ""},
        {"KxVIBRAT", "KxVIBRAT", "int"},
        {"IMAGE", "KxImage", ""},
        {"RegExpEdit", "KxRegularExpressionEdit", ""},
    };
    return table;
}

const QList<KxControlTypeInfo> &specialTypes()
{
    static const QList<KxControlTypeInfo> table = {
        {"1D2DEdit", "Kx1D2DEdit", "1D2DJSON"},
        {"AIOCR", "KxAIOCR", ""},
        {"AIOCR_CAO", "KxAIOCR_SOPCAO", ""},
        {"BUTTONGETTEXT", "KxButtonGetText", ""},
        {"CQDTPS", "KxCQDTPS", ""},
        {"CmdEdit", "KxCmdEdit", ""},
        {"ColorRange", "KxColorRange", ""},
        {"COMBOBOXCUSTOM", "KxCustomSpinBox", ""},
        {"DATAFORMAT", "KxDataFormat", ""},
        {"DATE", "KxDate", ""},
        {"DEFCMD", "KxDefaultButton", ""},
        {"EDITTOHEX", "KxEditToHex", ""},
        {"JS", "KxJavaScript", ""},
        {"LUASCRIPT", "KxLuaControl", ""},
        {"ZuAutoFocus", "KxZuAutoFocus", ""},
        {"ZuKitButtonGroup", "KxZuKitButtonGroup", ""},
        {"ZuKitModel", "KxZuKitModel", ""},
        {"ZuKitCheckBox", "KxZuKitCheckBox", ""},
        {"ZuKitInputEdit", "KxZuKitEdit", ""},
        {"ZuKitLocatorContext", "KxZuKitEdit", ""},
        {"ZuKitBenchMarkToggle", "KxZuKitBenchMarkToggle", "int"},
        {"ZuKitTmpl", "KxZuKitTmpl", ""},
        {"ZuRectangleBox", "KxZuRectangleBox", ""},
        {"ZuScriptEdit", "KxZuScriptEdit", ""},
        {"PREIMAGE", "KxPreImageControl", ""},
        {"URFAED", "KxURFAED", ""},
        {"URFAEQ", "KxURFAEQ", ""},
        {"URFAES", "KxURFAES", ""},
        {"URFAQY", "KxURFAQY", ""},
        {"URFGI", "KxURFGI", ""},
        {"URFTKL", "KxURFTKL", ""},
        {"URFTLK", "KxURFTLK", ""},
        {"URFTRD", "KxURFTRD", ""},
        {"URFTWR", "KxURFTWR", ""},
        {"URFAUPCTRL", "KxURFAUPControl", ""},
        {"URFHP", "KxUrfhpControlBase", ""},
        {"WLSCLP", "KxWLSCLPButton", ""},
        {"QRCBWC", "KxQRCBWCControlBase", ""},
        {"TDSFNSControl", "KxTDSFNSControlBase", ""},
        {"SDCATRCONTROL", "KxAllmscControlBase", ""},
        {"MULTICODESET", "KxALLSRLControl", ""},
        {"BARCODEOUTPUTSORT", "KxDciintControlBase", ""},
        {"KxBQ", "KxInccqpControlBase", ""},
        {"LED", "KxLedControl", ""},
        {"ROI", "KxROIButton", "ROI"},
        {"SOI", "KxSOIButton", "SOI"},
        {"TOI", "KxTOIButton", "TOI"},
    };
    return table;
}

namespace {

const QHash<QString, const KxControlTypeInfo *> &index()
{
    static const QHash<QString, const KxControlTypeInfo *> map = [] {
        QHash<QString, const KxControlTypeInfo *> m;
        for (const KxControlTypeInfo &i : standardTypes())
            m.insert(QString::fromLatin1(i.controlType), &i);
        for (const KxControlTypeInfo &i : specialTypes())
            m.insert(QString::fromLatin1(i.controlType), &i);
        return m;
    }();
    return map;
}

} // namespace

bool isKnown(const QString &controlType)
{
    return index().contains(controlType);
}

QString knownDefaultReturnType(const QString &controlType)
{
    const KxControlTypeInfo *i = index().value(controlType);
    return i ? QString::fromLatin1(i->defaultReturnType) : QString();
}

QString className(const QString &controlType)
{
    const KxControlTypeInfo *i = index().value(controlType);
    return i ? QString::fromLatin1(i->className) : QString();
}

} // namespace KxControlTypes
