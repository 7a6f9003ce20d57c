#include "KxConfigFileUi.h"

#include "KxConfigCompareDlg.h"
#include "KxConfigFileIO.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxUiService.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>

namespace {
QString rememberedFolder()
{
    return KxSettings::instance()
        ->value(KxConfigFileUi::folderGroup(), KxConfigFileUi::folderKey(),
                QCoreApplication::applicationDirPath())
        .toString();
}

void rememberFolder(const QString &path)
{
    KxSettings::instance()->setValue(KxConfigFileUi::folderGroup(), KxConfigFileUi::folderKey(),
                                     QFileInfo(path).absolutePath());
}

QString chooseFile(KxFileDialogKind kind, const QString &title, QWidget *parent)
{
    KxFileRequest req;
    req.kind = kind;
    req.title = title;
    req.dir = rememberedFolder();
    req.filter = KxConfigFile::fileFilter();
    req.parent = parent;
    const KxFileResult r = KxUi()->fileDialog(req);
    return r.files.size() == 1 ? r.first() : QString();
}

void showMessage(const QString &text, QWidget *parent, KxMsgType type = KxMsgType::Error,
                 const QString &title = QStringLiteral("#IDS_Tips"))
{
    KxMessageRequest m;
    m.type = type;
    m.title = title;
    m.text = text;
    m.buttons = QStringLiteral("#IDS_MessageBox_OK");
    m.width = 350;
    m.parent = parent;
    KxUi()->message(m);
}

// The message of a check that refuses the file outright; empty for 0 and 4.
QString refusalText(int check)
{
    switch (check) {
    case KxConfigFile::Check_Unreadable:
        return QStringLiteral("#IDS_ImportConfig_Unreadable");
    case KxConfigFile::Check_Malformed:
        return QStringLiteral("#IDS_ImportConfig_Malformed");
    case KxConfigFile::Check_WrongRoot:
        return QStringLiteral("#IDS_ImportConfig_WrongRoot");
    default:
        return QString();
    }
}

// Stops a check that refuses the file or a model question the user declines.
bool passesCheck(int check, QWidget *parent)
{
    const QString refusal = refusalText(check);
    if (!refusal.isEmpty()) {
        showMessage(refusal, parent, KxMsgType::Error, QStringLiteral("#IDS_ImportConfig"));
        return false;
    }
    if (check == KxConfigFile::Check_OtherModel) {
        return KxUi()
            ->question(QStringLiteral("#IDS_ImportConfig_Unmatch_Tips"),
                       QStringLiteral("#IDS_ImportConfig"), QStringLiteral("#IDS_OK|Cancel"),
                       parent, 350)
            .isAccepted();
    }
    return true;
}

QString listMessage(const QString &headKey, const QString &count, const QString &codes)
{
    return QStringLiteral("%1%2\n%3 %4")
        .arg(kxTr(headKey), count, kxTr(QStringLiteral("#ID_CFG_MAIN_ERROR_OPENCONFIG2")), codes);
}
}  // namespace

namespace KxConfigFileUi {

bool exportConfig(KxDeviceConnector *connector, QWidget *parent)
{
    if (!connector || !connector->command())
        return false;
    QString path = chooseFile(KxFileDialogKind::SaveFile, QStringLiteral("#IDS_ExportConfig"), parent);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xml");
    KxUi()->showWaiting(QStringLiteral("#IDS_ExportConfig_ing"), QString(), {}, parent);
    QString error;
    const bool ok = KxConfigFileIO::exportToFile(connector, path, &error);
    KxUi()->closeWaiting();
    if (ok)
        KxUi()->toast(QStringLiteral("#IDS_ExportConfig_Success"), 3000, parent);
    else
        showMessage(QStringLiteral("#IDS_ExportConfig_Failed"), parent);
    rememberFolder(path);
    return ok;
}

ImportOutcome importConfig(KxDeviceConnector *connector, QWidget *parent)
{
    ImportOutcome outcome;
    if (!connector || !connector->command())
        return outcome;
    const QString path =
        chooseFile(KxFileDialogKind::OpenFile, QStringLiteral("#IDS_ImportConfig"), parent);
    if (path.isEmpty())
        return outcome;
    rememberFolder(path);
    if (!passesCheck(KxConfigFileIO::checkImportFile(connector, path), parent))
        return outcome;

    KxUi()->showWaiting(QStringLiteral("#IDS_ImportConfig_ing"), QString(), {}, parent);
    KxConfigFileIO::ImportResult r;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(connector->command(), &QObject::destroyed, &loop, &QEventLoop::quit);
    KxConfigFileIO::importFileAsync(connector, path, &loop, [&](const KxConfigFileIO::ImportResult &res) {
        r = res;
        finished = true;
        loop.quit();
    });
    if (!finished)
        loop.exec();
    KxUi()->closeWaiting();
    if (!finished) {
        showMessage(listMessage(QStringLiteral("#IDS_ImportConfig_Failed"), QStringLiteral("0"), QString()),
                    parent);
        return outcome;
    }
    outcome.imported = true;
    outcome.ok = r.value(QStringLiteral("result")) == QLatin1String("1");
    if (r.value(QStringLiteral("UnknownCmdsCnt")).toInt() > 0) {
        showMessage(listMessage(QStringLiteral("#ID_CFG_MAIN_ERROR_OPENCONFIG1"),
                                r.value(QStringLiteral("UnknownCmdsCnt")),
                                r.value(QStringLiteral("UnknownCmds"))),
                    parent, KxMsgType::Warning);
    }
    if (outcome.ok) {
        KxUi()->toast(QStringLiteral("#IDS_ImportConfig_Success"), 3000, parent);
    } else {
        showMessage(listMessage(QStringLiteral("#IDS_ImportConfig_Failed"),
                                r.value(QStringLiteral("FailCmdsCnt")),
                                r.value(QStringLiteral("FailCmds"))),
                    parent);
    }
    if (r.contains(QStringLiteral("IPPOPM")) && r.contains(QStringLiteral("IPPOPMAfter"))) {
        const QString before = r.value(QStringLiteral("IPPOPM"));
        const QString after = r.value(QStringLiteral("IPPOPMAfter"));
        outcome.streamMode = after == QLatin1String("1");
        outcome.streamModeChanged =
            before != after && (before == QLatin1String("1") || after == QLatin1String("1"));
    }
    return outcome;
}

bool compareConfig(KxDeviceConnector *connector, QWidget *parent)
{
    if (!connector || !connector->command())
        return false;
    const QString path =
        chooseFile(KxFileDialogKind::OpenFile, QStringLiteral("#IDS_CompareConfig"), parent);
    if (path.isEmpty())
        return false;
    rememberFolder(path);
    KxConfigFile::ParsedFile parsed;
    const int check = KxConfigFile::checkFile(path, KxConfigFileIO::readerModel(connector), &parsed);
    if (!passesCheck(check, parent))
        return false;
    const QVector<KxConfigDiff> diffs = KxConfigFileIO::compare(connector, parsed.entries);
    if (diffs.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_CompareConfig_Same"), 3000, parent);
        return false;
    }
    KxConfigCompareDlg dlg(connector, diffs, parent);
    return KxDialogRunner::run(&dlg) == 1;
}

}  // namespace KxConfigFileUi
