// Renders every common widget into "<dir>/widgets-<name>-<lang>.png" for a visual check.
#include "Gallery.h"
#include "KxI18nUtil.h"
#include "KxInputDlg.h"
#include "KxPaintedIcon.h"
#include "KxSearchLineEdit.h"
#include "KxStyledButtons.h"
#include "KxToast.h"
#include "KxToggleSwitch.h"
#include "KxWaitingDlg.h"
#include "NMessageBox.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Gallery gallery(argc, argv, QStringLiteral("widgets"), 60);
    gallery.loadLook(app);
    const bool zh = gallery.lang().startsWith(QLatin1String("zh"));

    NMessageBox info(KxMsgType::Information, QStringLiteral("#IDS_Tips"),
                     zh ? QStringLiteral("配置已成功保存到读码器。")
                        : QStringLiteral("The settings were saved to the reader."));
    gallery.save(&info, QStringLiteral("msg-info"));
    NMessageBox question(
        KxMsgType::Question, QStringLiteral("#IDS_Tips"),
        zh ? QStringLiteral("保存设置将重启读码器，是否继续？")
           : QStringLiteral("Saving these settings restarts the reader. Continue?"),
        QStringLiteral("#IDS_OK|Cancel"));
    gallery.save(&question, QStringLiteral("msg-question"));
    NMessageBox three(
        KxMsgType::Warning, QStringLiteral("#IDS_Tips"),
        zh ? QStringLiteral("设置已修改但尚未保存。离开前是否保存到读码器？如果不保存，修改将在读码"
                            "器重启后丢失。")
           : QStringLiteral("Some settings were changed but not saved. Save them to the reader "
                            "before leaving? Unsaved changes are lost when the reader restarts."),
        QStringLiteral("#IDS_Yes|No|Cancel"));
    gallery.save(&three, QStringLiteral("msg-warning"));
    NMessageBox err(KxMsgType::Error, QStringLiteral("#IDS_Tips"),
                    QStringLiteral("#IDS_NoSuchKeyForTheGallery"),
                    QStringLiteral("#IDS_Restry|Back"));
    gallery.save(&err, QStringLiteral("msg-error"));

    KxWaitingDlg waiting;
    waiting.setText(zh ? QStringLiteral("正在连接设备，请稍候…")
                       : QStringLiteral("Connecting to the reader, please wait..."));
    gallery.save(&waiting, QStringLiteral("waiting"));
    waiting.setCancelText(QStringLiteral("#IDS_Cancel"));
    gallery.save(&waiting, QStringLiteral("waiting-cancel"));

    KxInputRequest req;
    req.title = zh ? QStringLiteral("重命名配置") : QStringLiteral("Rename configuration");
    req.label = zh ? QStringLiteral("新名称：") : QStringLiteral("New name:");
    req.text = QStringLiteral("Line 3 - carton labels");
    KxInputDlg input(req);
    gallery.save(&input, QStringLiteral("input"));

    NDialogEx base;
    base.setTitle(zh ? QStringLiteral("一个很长的对话框标题，用来检查标题栏在文字过长时的省略效果")
                     : QStringLiteral("A dialog with a very long title to check how the title bar "
                                      "elides it when space runs out"));
    auto *lay = new QVBoxLayout(base.contentWidget());
    lay->setContentsMargins(20, 16, 20, 16);
    lay->addWidget(new QLabel(zh ? QStringLiteral("内容区域") : QStringLiteral("Content area")));
    lay->addWidget(new QLineEdit);
    base.addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    base.addButton(QStringLiteral("#IDS_Cancel"));
    base.resize(420, 200);
    gallery.save(&base, QStringLiteral("dialog-base"));

    QWidget panel;
    panel.setStyleSheet(QStringLiteral("QWidget#panel{background:#f4f6fa;}"));
    panel.setObjectName(QStringLiteral("panel"));
    auto *grid = new QGridLayout(&panel);
    grid->setContentsMargins(20, 20, 20, 20);
    grid->setSpacing(12);
    grid->addWidget(new KxPushButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary), 0, 0);
    grid->addWidget(new KxPushButton(QStringLiteral("#IDS_Cancel")), 0, 1);
    grid->addWidget(new KxPushButton(QStringLiteral("#IDS_Clear"), KxPushButton::Danger), 0, 2);
    auto *disabled = new KxPushButton(QStringLiteral("#IDS_Back"));
    disabled->setEnabled(false);
    grid->addWidget(disabled, 0, 3);
    auto *tb1 =
        new KxToolButton(QStringLiteral("#IDS_OpenFile"), kxPaintedIcon(KxIconShape::Search, 18));
    auto *tb2 =
        new KxToolButton(QStringLiteral("#IDS_SaveFile"), kxPaintedIcon(KxIconShape::Success, 18));
    tb2->setCheckable(true);
    tb2->setChecked(true);
    grid->addWidget(tb1, 1, 0);
    grid->addWidget(tb2, 1, 1);
    auto *on = new KxToggleSwitch(QStringLiteral("#IDS_Yes"));
    on->setChecked(true);
    grid->addWidget(on, 1, 2);
    grid->addWidget(new KxToggleSwitch(QStringLiteral("#IDS_No")), 1, 3);
    auto *search = new KxSearchLineEdit;
    search->setPlaceholderKey(zh ? QStringLiteral("搜索别名或序列号")
                                 : QStringLiteral("Search alias or serial number"));
    grid->addWidget(search, 2, 0, 1, 2);
    auto *search2 = new KxSearchLineEdit;
    search2->setText(QStringLiteral("SN2041"));
    grid->addWidget(search2, 2, 2, 1, 2);
    gallery.save(&panel, QStringLiteral("controls"));

    QWidget host;
    host.setStyleSheet(QStringLiteral("background:#f4f6fa;"));
    host.resize(700, 300);
    host.show();
    KxToast::showToast(QStringLiteral("#IDS_Tips"), 3000, &host);
    KxToast::showToast(zh ? QStringLiteral("设备未连接")
                          : QStringLiteral("The reader is not connected."),
                       3000, &host, KxMsgType::Warning);
    KxToast::showToast(
        zh ? QStringLiteral("保存失败：读码器没有在规定时间内应答，请检查连接后重试。")
           : QStringLiteral("Saving failed: the reader did not answer in time. Check the "
                            "connection and try again."),
        3000, &host, KxMsgType::Error);
    QTest::qWait(400); // faded in
    gallery.save(&host, QStringLiteral("toasts"));
    return 0;
}
