#include "KxStandardControls.h"

#include "KxBasicControls.h"
#include "KxComboBox.h"
#include "KxControlCreator.h"
#include "KxControlEvents.h"
#include "KxNumericControls.h"
#include "KxOptionControls.h"
#include "KxPairControls.h"
#include "KxSwitchControls.h"
#include "KxTextControls.h"

namespace {

template <class T>
void add(KxControlCreator *r, const char *type, const char *returnType)
{
    r->registerControl(
        QString::fromLatin1(type), [](QWidget *parent) -> KxControlBase * { return new T(parent); },
        [](KxControlBase *c) { delete c; }, QString::fromLatin1(returnType));
}

} // namespace

namespace KxStandardControls {

void registerAll(KxControlCreator *registry)
{
    KxControlCreator *r = registry ? registry : KxControlCreator::instance();
    kxRegisterDescriptionTypes();
    kxRegisterControlEventTypes();
    add<KxLabel>(r, "Label", "");
    add<KxButton>(r, "Button", "");
    add<KxButtonGroup>(r, "ButtonGroup", "");
    add<KxCheckBox>(r, "CheckBox", "");
    add<KxToggleButtonPrivate>(r, "ToggleButton", "int");
    add<KxToggleSlider>(r, "ToggleSlider", "");
    add<KxComboBox>(r, "ComboBox", "");
    add<KxSpinBox>(r, "SpinBox", "int");
    add<KxPanel>(r, "Panel", "");
    add<KxHexEdit>(r, "HexEdit", "");
    add<KxRangeBox>(r, "RangeBox", "range_int");
    add<KxDoubleRangeBox>(r, "DoubleRangeBox", "range_double");
    add<KxLineEdit>(r, "LineEdit", "");
    add<KxTextEdit>(r, "TextEdit", "");
    add<KxRadioButton>(r, "Radio", "");
    add<KxPoint>(r, "Point", "point_int");
    add<KxDoublePoint>(r, "DoublePoint", "point_double");
    add<KxSize>(r, "Size", "size_int");
    add<KxDoubleSize>(r, "DoubleSize", "size_double");
    add<KxLine>(r, "Line", "line_int");
    add<KxSlider>(r, "Slider", "int");
    add<KxDoubleSlider>(r, "DoubleSlider", "range_int");
    add<KxSpinSlider>(r, "SpinSlider", "int");
    add<KxStateSlider>(r, "StateSlider", "");
    add<KxDoubleSpinBox>(r, "DoubleSpinBox", "double");
    add<KxIPV4>(r, "Ipv4", "");
    add<KxVIBRAT>(r, "KxVIBRAT", "int");
    add<KxImage>(r, "IMAGE", "");
    add<KxRegularExpressionEdit>(r, "RegExpEdit", "");
}

} // namespace KxStandardControls
