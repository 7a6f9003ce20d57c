#include "FtpSettingWidget.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxUiService.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryFile>

namespace {
const QString kGroup = QStringLiteral("ftp");
// Indexes into the age choices of the local settings (15, 30, 60 and 90 days).
const int kSaveDateChoices[] = {4, 5, 6, 7};

QVariant stored(const QString &key)
{
    return KxSettings::instance()->value(kGroup, key);
}

// A folder is usable when a file can really be made in it; permission bits alone can lie.
bool writable(const QString &dir)
{
    if (!QDir().mkpath(dir))
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.brevan-write-check-XXXXXX"));
    return probe.open();
}
} // namespace

FtpSettingWidget::FtpSettingWidget(QWidget *parent)
    : QWidget(parent)
    , m_port(new QSpinBox)
    , m_user(new QLineEdit)
    , m_password(new QLineEdit)
    , m_folder(new QLineEdit)
    , m_strategy(new QComboBox)
    , m_saveDate(new QComboBox)
    , m_maxCount(new QSpinBox)
    , m_notice(new QLabel)
{
    setObjectName(QStringLiteral("FtpSettingWidget"));
    m_port->setRange(1, 65535);
    m_port->setObjectName(QStringLiteral("ftpPort"));
    m_user->setObjectName(QStringLiteral("ftpUser"));
    m_password->setObjectName(QStringLiteral("ftpPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_folder->setObjectName(QStringLiteral("ftpFolder"));
    m_strategy->setObjectName(QStringLiteral("ftpRemoveStrategy"));
    m_strategy->addItem(kxTr(QStringLiteral("#IDS_Remove_By_Date")));
    m_strategy->addItem(kxTr(QStringLiteral("#IDS_Remove_By_Count")));
    m_saveDate->setObjectName(QStringLiteral("ftpSaveDate"));
    for (const char *key : {"#IDS_Image_SaveDate_15D", "#IDS_Image_SaveDate_30D",
                            "#IDS_Image_SaveDate_60D", "#IDS_Image_SaveDate_90D"})
        m_saveDate->addItem(kxTr(QString::fromLatin1(key)));
    m_maxCount->setObjectName(QStringLiteral("ftpSaveMaxCount"));
    m_maxCount->setRange(1, 10000000);
    m_notice->setObjectName(QStringLiteral("ftpDefaultsNotice"));
    m_notice->setWordWrap(true);
    m_notice->setText(kxTr(QStringLiteral("#IDS_FTP_DefaultCredentials")));
    m_notice->setStyleSheet(QStringLiteral("color: #c0392b;"));

    auto *browse = new QPushButton(kxTr(QStringLiteral("#IDS_FTP_SelectFolder")));
    browse->setObjectName(QStringLiteral("ftpSelectFolder"));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    auto *form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(kxTr(QStringLiteral("#IDS_FTP_Port")), m_port);
    form->addRow(kxTr(QStringLiteral("#IDS_FTP_Username")), m_user);
    form->addRow(kxTr(QStringLiteral("#IDS_FTP_Password")), m_password);
    form->addRow(m_notice);
    form->addRow(kxTr(QStringLiteral("#IDS_FTP_Folder")), folderRow);
    form->addRow(kxTr(QStringLiteral("#IDS_Image_Remove_Strategy")), m_strategy);
    form->addRow(kxTr(QStringLiteral("#IDS_Image_SaveDate")), m_saveDate);
    form->addRow(kxTr(QStringLiteral("#IDS_Image_Save_Max_Count")), m_maxCount);

    connect(browse, &QPushButton::clicked, this, &FtpSettingWidget::chooseFolder);
    connect(m_user, &QLineEdit::textChanged, this, &FtpSettingWidget::updateNotice);
    connect(m_password, &QLineEdit::textChanged, this, &FtpSettingWidget::updateNotice);
    connect(m_strategy, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        m_saveDate->setEnabled(index == 0);
        m_maxCount->setEnabled(index == 1);
    });
}

void FtpSettingWidget::load()
{
    m_port->setValue(qBound(1, stored(QStringLiteral("port")).toString().toInt(), 65535));
    m_user->setText(stored(QStringLiteral("user")).toString());
    m_password->setText(stored(QStringLiteral("password")).toString());
    m_folder->setText(QDir::toNativeSeparators(stored(QStringLiteral("dir")).toString()));
    const int strategy = stored(QStringLiteral("ftpRemoveStrategy")).toString().toInt() == 1 ? 1 : 0;
    m_strategy->setCurrentIndex(strategy);
    m_saveDate->setEnabled(strategy == 0);
    m_maxCount->setEnabled(strategy == 1);
    const int date = stored(QStringLiteral("ftpSaveDate")).toString().toInt();
    int dateIndex = 0;
    for (int i = 0; i < 4; ++i) {
        if (kSaveDateChoices[i] == date)
            dateIndex = i;
    }
    m_saveDate->setCurrentIndex(dateIndex);
    const int maxCount = stored(QStringLiteral("ftpSaveMaxCount")).toString().toInt();
    m_maxCount->setValue(maxCount > 0 ? maxCount : 50000);
    updateNotice();
}

bool FtpSettingWidget::usesDefaultCredentials() const
{
    return m_user->text() == defaultUser() && m_password->text() == defaultPassword();
}

void FtpSettingWidget::updateNotice()
{
    m_notice->setVisible(usesDefaultCredentials());
}

void FtpSettingWidget::chooseFolder()
{
    const QString dir = KxUi()->getExistingDirectory(QStringLiteral("#IDS_FTP_SelectFolder"),
                                                     m_folder->text(), this);
    if (!dir.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(dir));
}

bool FtpSettingWidget::save()
{
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    if (m_user->text().trimmed().isEmpty() || m_password->text().isEmpty()) {
        KxUi()->warning(QStringLiteral("#IDS_FTP_EmptyCredentials"), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !writable(folder)) {
        KxUi()->warning(QStringLiteral("#IDS_DRI_NO_WRITE_PERMISSION"), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    KxSettings *settings = KxSettings::instance();
    settings->setValue(kGroup, QStringLiteral("port"), m_port->value());
    settings->setValue(kGroup, QStringLiteral("user"), m_user->text().trimmed());
    settings->setValue(kGroup, QStringLiteral("password"), m_password->text());
    settings->setValue(kGroup, QStringLiteral("dir"), folder);
    settings->setValue(kGroup, QStringLiteral("ftpRemoveStrategy"), m_strategy->currentIndex());
    settings->setValue(kGroup, QStringLiteral("ftpSaveDate"), kSaveDateChoices[m_saveDate->currentIndex()]);
    settings->setValue(kGroup, QStringLiteral("ftpSaveMaxCount"), m_maxCount->value());
    return true;
}
