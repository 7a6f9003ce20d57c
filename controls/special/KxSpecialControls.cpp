#include "KxSpecialControls.h"

#include "Kx1D2DEdit.h"
#include "KxControlCreator.h"
#include "KxDataFormatControl.h"
#include "KxScriptControls.h"

static void initSpecialResources()
{
    Q_INIT_RESOURCE(specialcontrols);
}

namespace KxSpecialControls {

void registerAll(KxControlCreator *registry)
{
    initSpecialResources();
    KxControlCreator *r = registry ? registry : KxControlCreator::instance();
    r->registerControl(
        QStringLiteral("DATAFORMAT"), [](QWidget *parent) -> KxControlBase * { return new KxDataFormat(parent); },
        [](KxControlBase *c) { delete c; }, QString());
    r->registerControl(
        QStringLiteral("1D2DEdit"), [](QWidget *parent) -> KxControlBase * { return new Kx1D2DEdit(parent); },
        [](KxControlBase *c) { delete c; }, QStringLiteral("1D2DJSON"));
    r->registerControl(
        QStringLiteral("JS"), [](QWidget *parent) -> KxControlBase * { return new KxJavaScript(parent); },
        [](KxControlBase *c) { delete c; }, QString());
    r->registerControl(
        QStringLiteral("LUASCRIPT"), [](QWidget *parent) -> KxControlBase * { return new KxLuaControl(parent); },
        [](KxControlBase *c) { delete c; }, QString());
}

}  // namespace KxSpecialControls
