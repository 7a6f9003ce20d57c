#include "MainWindowShell.h"

#include "KxAppInit.h"
#include "KxI18nUtil.h"
#include "KxIconHelper.h"

#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

MainWindowShell::MainWindowShell(QWidget *parent) : QMainWindow(parent)
{
    qDebug() << "MainWindowShell::MainWindowShell()...";
    KxAppInit::instance()->install();
    KxIconHelper::loadFonts();

    setObjectName(QStringLiteral("MainWindowShell"));
    setWindowTitle(QStringLiteral("Brevan"));
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/logo.ico")));
    setMinimumSize(800, 560);
    resize(1100, 720);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("shellCentral"));
    auto *layout = new QVBoxLayout(central);
    layout->addStretch(2);

    auto *logo = new QLabel(central);
    logo->setObjectName(QStringLiteral("shellLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/res/icon/logo.png")).pixmap(96, 96));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto *title = new QLabel(kxTr(QStringLiteral("#IDS_ShellTitle")), central);
    title->setObjectName(QStringLiteral("shellTitle"));
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("QLabel{color:#0c3484;font-size:22px;font-weight:bold;}"));
    layout->addWidget(title);

    auto *note = new QLabel(kxTr(QStringLiteral("#IDS_ShellNoReaders")), central);
    note->setObjectName(QStringLiteral("shellNote"));
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("QLabel{color:#5a6372;font-size:13px;}"));
    layout->addWidget(note);

    layout->addStretch(3);
    setCentralWidget(central);
}
