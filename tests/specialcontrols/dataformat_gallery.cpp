// Renders the data format editor and the script editors into "<dir>/special-<name>-<lang>.png":
// dataformat_gallery <output-dir> [en|zh_cn]
#include "BrevanResources.h"
#include "DataFormatDialogs.h"
#include "Gallery.h"
#include "KxControlCreator.h"
#include "KxScriptControls.h"
#include "KxScript.h"
#include "KxSpecialControls.h"

#include <QVBoxLayout>
#include <memory>

#include <QApplication>
#include <QTreeWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("special"), 300);
    brevanInitResources();
    gallery.loadLook(app);
    KxSpecialControls::registerAll();

    const QList<KxDataFormatRule> rules = {{1, "032", 9999, "B900045052452DF2085D"}, {1, "999", 12, "F10D"},
                                           {2, "002", 9999, "FB022D20F12E"}};
    DataFormatListDlg list(rules);
    list.resize(900, 420);
    gallery.save(&list, QStringLiteral("list"));

    DataFormatEditDlg edit(rules[0], false);
    edit.setSample(QStringLiteral("QR-0123456789"));
    edit.selectCommand(QStringLiteral("F2"));
    edit.resize(1280, 640);
    gallery.save(&edit, QStringLiteral("edit"));

    // The script editors inside a settings page of the window's size.
    const QList<QPair<QString, QString>> scripts = {
        {QStringLiteral("JS"), QStringLiteral("// Prefix the lot number\nvar d = getData();\nif (d.indexOf('QR-') === 0)\n    setOutput('LOT ' + d.substring(3));\nlog('seen ' + d);\n")},
        {QStringLiteral("LUASCRIPT"), QStringLiteral("-- Prefix the lot number\nlocal d = getData()\nif d:sub(1, 3) == 'QR-' then\n    setOutput('LOT ' .. d:sub(4))\nend\nlog('seen ' .. d\n")}};
    for (const auto &s : scripts) {
        KxItemInfo item;
        item.id = QStringLiteral("SCRADD");
        item.controlType = s.first;
        item.displayName = QStringLiteral("#IDS_Item_SCRADD");
        item.value = KxScriptValue::encode(s.second);
        QWidget page;
        page.resize(1366, 700);
        auto *layout = new QVBoxLayout(&page);
        std::unique_ptr<KxControlBase> control(KxControlCreator::instance()->create(s.first, nullptr));
        control->setup(&item, &page);
        auto *script = static_cast<KxScriptControl *>(control.get());
        script->runTest();
        if (control->labelWidget())
            layout->addWidget(control->labelWidget());
        layout->addWidget(control->editorWidget());
        gallery.save(&page, s.first == QLatin1String("JS") ? QStringLiteral("js") : QStringLiteral("lua"));
    }
    return 0;
}
