#pragma once
// The about dialog: logo, product name, version and build, the agreement and privacy links and
// the official website of the user's region.
#include "NDialogEx.h"

class QLabel;

class AboutDlg : public NDialogEx
{
    Q_OBJECT
public:
    static constexpr const char *kBuild = "Build260820";

    explicit AboutDlg(QWidget *parent = nullptr);

    // "<b>%1:</b> <font color='#595959'>%2 (%3)</font>" with the translated label.
    static QString versionHtml();
    // "<b>%1:</b> <a ... href='<href>'>%2</a>".
    static QString linkHtml(const QString &labelKey, const QString &href);
    // The website key of a region: the Chinese site for "#IDS_Region_CN", else the regional
    // variant when one is translated, else the international one.
    static QString websiteKey(const QString &region);
    // The file a link opens; empty for an unknown link.
    static QString linkFile(const QString &href);

private:
    void onLinkActivated(const QString &href);
};
