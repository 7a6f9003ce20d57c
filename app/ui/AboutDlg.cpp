#include "AboutDlg.h"

#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "MainFrameTitle.h"

#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

AboutDlg::AboutDlg(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setTitle(QStringLiteral("#IDS_About"));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setSpacing(10);

    auto *logo = new QLabel(contentWidget());
    logo->setObjectName(QStringLiteral("labLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/res/icon/logo.png")).pixmap(72, 72));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto *name = new QLabel(KxConfig::applicationName(), contentWidget());
    name->setObjectName(QStringLiteral("labProduct"));
    name->setAlignment(Qt::AlignCenter);
    name->setStyleSheet(QStringLiteral("font-size:20px;font-weight:bold;color:#0c3484;"));
    layout->addWidget(name);
    layout->addSpacing(6);

    auto addLine = [this, layout](const QString &name, const QString &html) {
        auto *label = new QLabel(html, contentWidget());
        label->setObjectName(name);
        label->setTextFormat(Qt::RichText);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        connect(label, &QLabel::linkActivated, this, &AboutDlg::onLinkActivated);
        layout->addWidget(label);
        return label;
    };
    addLine(QStringLiteral("labVersion"), versionHtml());
    addLine(QStringLiteral("labAgreement"), linkHtml(QStringLiteral("#IDS_UserProtoco"),
                                                     QStringLiteral("agreement")));
    addLine(QStringLiteral("labPrivacy"), linkHtml(QStringLiteral("#IDS_PrivacyPolicy"),
                                                   QStringLiteral("privacy")));
    const QString site = kxTr(websiteKey(KxSettings::instance()->region()));
    QLabel *web = addLine(QStringLiteral("labWebsite"),
                          QStringLiteral("<b>%1:</b> <a style='color:#0C3484; "
                                         "text-decoration:none' href='%2'>%2</a>")
                              .arg(kxTr(QStringLiteral("#IDS_OfficialWebsite")),
                                   site.toHtmlEscaped()));
    web->setOpenExternalLinks(false);

    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    fitToWidth(400);
}

QString AboutDlg::versionHtml()
{
    return QStringLiteral("<b>%1:</b> <font color='#595959'>%2 (%3)</font>")
        .arg(kxTr(QStringLiteral("#IDS_VersionInfo")), KxConfig::versionString(),
             QString::fromLatin1(kBuild));
}

QString AboutDlg::linkHtml(const QString &labelKey, const QString &href)
{
    return QStringLiteral("<b>%1:</b> <a style='color:#0C3484; text-decoration:none' "
                          "href='%3'>%2</a>")
        .arg(kxTr(labelKey), QFileInfo(kxTr(labelKey + QStringLiteral("_File"))).completeBaseName().toHtmlEscaped(),
             href);
}

QString AboutDlg::websiteKey(const QString &region)
{
    const QString cnKey = QStringLiteral("#IDS_Region_CN");
    if (!region.isEmpty()
        && (region == cnKey || region == cnKey.mid(1) || region == kxTr(cnKey)))
        return QStringLiteral("#IDS_OfficialWebsite_CN");
    if (!region.isEmpty()) {
        const QString regional = QStringLiteral("#IDS_OfficialWebsite_") + region.toUpper();
        bool found = false;
        KxI18nUtil::instance()->translate(regional, QString(), &found);
        if (found)
            return regional;
    }
    return QStringLiteral("#IDS_OfficialWebsite_Global");
}

QString AboutDlg::linkFile(const QString &href)
{
    if (href == QLatin1String("agreement"))
        return MainFrameTitle::docFile(QStringLiteral("#IDS_UserProtoco_File"));
    if (href == QLatin1String("privacy"))
        return MainFrameTitle::docFile(QStringLiteral("#IDS_PrivacyPolicy_File"));
    return QString();
}

void AboutDlg::onLinkActivated(const QString &href)
{
    qDebug() << "AboutDlg::onLinkActivated()..." << href;
    const QString file = linkFile(href);
    if (file.isEmpty()) {
        MainFrameTitle::openUrl(QUrl(href));
        return;
    }
    if (!QFileInfo::exists(file)) {
        KxUi()->toast(QStringLiteral("#IDS_FileNotExist_Tips"), 3000, this);
        return;
    }
    MainFrameTitle::openUrl(QUrl::fromLocalFile(file));
}
