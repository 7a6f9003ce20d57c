#include "KxVisionControls.h"

#include "KxOptionControls.h"
#include "KxControlCreator.h"
#include "KxSwitchControls.h"
#include "KxTextControls.h"

#include <QDoubleSpinBox>

KxZuRectangleBox::KxZuRectangleBox(QObject *parent)
    : KxSpinGroupControl(parent, false, {"X", "Y", "W", "H"}, {",", ",", ","}, {"", "", ""})
{
}

QRect KxZuRectangleBox::rect() const
{
    const QStringList p = value().toString().split(QLatin1Char(','));
    return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
}

void KxZuRectangleBox::setRect(const QRect &r)
{
    setValue(QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    notifyValueChanged(true);
}

KxColorRange::KxColorRange(QObject *parent)
    : KxSpinGroupControl(parent, false, {"H", "S", "V", "H", "S", "V"}, {",", ",", "|", ",", ","},
                         {"", "", " - ", "", ""})
{
}

namespace {
template <class T>
void add(const char *type, const char *returnType)
{
    KxControlCreator::instance()->registerControl(
        QString::fromLatin1(type), [](QWidget *parent) -> KxControlBase * { return new T(parent); },
        [](KxControlBase *c) { delete c; }, QString::fromLatin1(returnType));
}
}  // namespace

void KxVisionControls::registerAll()
{
    add<KxZuRectangleBox>("ZuRectangleBox", "rect_int");
    add<KxColorRange>("ColorRange", "color_range");
    // Kit inputs name another node's output ("0.image"); a line edit holds them.
    add<KxLineEdit>("ZuKitInputEdit", "");
    add<KxCheckBox>("ZuKitCheckBox", "");
    add<KxToggleButtonPrivate>("ZuKitBenchMarkToggle", "int");
}
