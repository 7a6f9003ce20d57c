#include "LocalSettingDlg.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryFile>
#include <QVBoxLayout>

namespace {
const QString kGroup = QStringLiteral("default");

// Choice lists: (shown value, stored index). The stored indexes are those of the local setting
// tables, so a list may skip an index (image quality stores 0, 1, 2 and 4).
struct Choice
{
    int shown;
    int index;
};
const QList<Choice> kSaveDays = {{1, 0}, {3, 1}, {7, 2}, {10, 3}, {15, 4}, {30, 5}, {60, 6}, {90, 7}};
const QList<Choice> kLogDays = {{1, 0}, {3, 1}, {7, 2}, {10, 3}, {15, 4}};
const QList<Choice> kStatisticsDays = {{30, 0}, {60, 1}, {180, 2}, {360, 3}, {720, 4}};
const QList<Choice> kReserveGb = {{1, 0}, {2, 1}, {5, 2}, {10, 3}};
const QList<Choice> kQuality = {{30, 0}, {60, 1}, {90, 2}, {100, 4}};

QComboBox *choiceBox(const QString &name, const QList<Choice> &choices, const QString &formatKey)
{
    auto *box = new QComboBox;
    box->setObjectName(name);
    for (const Choice &c : choices)
        box->addItem(kxTr(formatKey).arg(c.shown), c.index);
    return box;
}

QComboBox *textBox(const QString &name, const QStringList &keys)
{
    auto *box = new QComboBox;
    box->setObjectName(name);
    for (int i = 0; i < keys.size(); ++i)
        box->addItem(keys[i].startsWith(QLatin1Char('#')) ? kxTr(keys[i]) : keys[i], i);
    return box;
}

QSpinBox *spin(const QString &name, int lo, int hi)
{
    auto *s = new QSpinBox;
    s->setObjectName(name);
    s->setRange(lo, hi);
    return s;
}

QString stored(const QString &key)
{
    return KxSettings::instance()->value(kGroup, key).toString();
}

// Selects the entry storing `index`; an unknown index keeps the first entry.
void selectIndex(QComboBox *box, const QString &index)
{
    const int at = box->findData(index.toInt());
    box->setCurrentIndex(at >= 0 ? at : 0);
}

bool writable(const QString &dir)
{
    if (dir.trimmed().isEmpty() || !QDir().mkpath(dir))
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.brevan-write-check-XXXXXX"));
    return probe.open();
}
} // namespace

LocalSettingDlg::LocalSettingDlg(QWidget *parent)
    : NDialogEx(parent)
    , m_imagePath(new QLineEdit)
    , m_fileType(textBox(QStringLiteral("imageFileType"), {"JPG", "BMP", "PNG", "TIFF"}))
    , m_quality(choiceBox(QStringLiteral("imageQuality"), kQuality, QStringLiteral("#IDS_Image_Quality_Value")))
    , m_removeStrategy(textBox(QStringLiteral("imageRemoveStrategy"),
                               {"#IDS_Remove_By_Date", "#IDS_Remove_By_Count"}))
    , m_saveDate(choiceBox(QStringLiteral("imageSaveDate"), kSaveDays, QStringLiteral("#IDS_Days_Count")))
    , m_maxCount(spin(QStringLiteral("imageSaveMaxCount"), 1, 10000000))
    , m_reserve(choiceBox(QStringLiteral("miniFreeReservedSpace"), kReserveGb, QStringLiteral("#IDS_GB_Count")))
    , m_fullStrategy(textBox(QStringLiteral("imageStrategy"),
                             {"#IDS_Image_Strategy_Stop", "#IDS_Image_Strategy_RemoveOldest"}))
    , m_logAge(choiceBox(QStringLiteral("appLogAutoDelDate"), kLogDays, QStringLiteral("#IDS_Days_Count")))
    , m_statisticsAge(choiceBox(QStringLiteral("statisticsSaveDate"), kStatisticsDays,
                                QStringLiteral("#IDS_Days_Count")))
    , m_refresh(spin(QStringLiteral("netDevFreshTimes"), 1, 3600))
    , m_alive(spin(QStringLiteral("deviceAliveTimes"), 1, 3600))
    , m_ftpButton(nullptr)
{
    setObjectName(QStringLiteral("LocalSettingDlg"));
    setTitle(QStringLiteral("#IDS_Local_Settings"));
    m_imagePath->setObjectName(QStringLiteral("imagePath"));
    m_refresh->setSuffix(QStringLiteral(" s"));
    m_alive->setSuffix(QStringLiteral(" s"));

    auto *browse = new KxPushButton(kxTr(QStringLiteral("#IDS_FTP_SelectFolder")));
    browse->setObjectName(QStringLiteral("btnImagePath"));
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(m_imagePath, 1);
    pathRow->addWidget(browse);

    auto *images = new QGroupBox(kxTr(QStringLiteral("#IDS_Grp_ImageSaving")));
    auto *imageForm = new QFormLayout(images);
    imageForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_Path")), pathRow);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_FileType")), m_fileType);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_Quality")), m_quality);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_Remove_Strategy")), m_removeStrategy);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_SaveDate")), m_saveDate);
    imageForm->addRow(kxTr(QStringLiteral("#IDS_Image_Save_Max_Count")), m_maxCount);

    auto *disk = new QGroupBox(kxTr(QStringLiteral("#IDS_Grp_DiskSpace")));
    auto *diskForm = new QFormLayout(disk);
    diskForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    diskForm->addRow(kxTr(QStringLiteral("#IDS_Image_ReservedSpace")), m_reserve);
    diskForm->addRow(kxTr(QStringLiteral("#IDS_Image_FullStrategy")), m_fullStrategy);

    auto *other = new QGroupBox(kxTr(QStringLiteral("#IDS_Grp_LogsAndDiscovery")));
    auto *otherForm = new QFormLayout(other);
    otherForm->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    otherForm->addRow(kxTr(QStringLiteral("#IDS_AppLog_Keep")), m_logAge);
    otherForm->addRow(kxTr(QStringLiteral("#IDS_Statistics_Keep")), m_statisticsAge);
    otherForm->addRow(kxTr(QStringLiteral("#IDS_NetRefresh_Time")), m_refresh);
    otherForm->addRow(kxTr(QStringLiteral("#IDS_AliveCheck_Time")), m_alive);

    auto *layout = new QVBoxLayout(contentWidget());
    layout->addWidget(images);
    layout->addWidget(disk);
    layout->addWidget(other);

    auto *ftp = addButton(QStringLiteral("#IDS_FTP_Settings"));
    ftp->setObjectName(QStringLiteral("btnFtpSettings"));
    ftp->setVisible(false);
    m_ftpButton = ftp;
    QPushButton *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    ok->setObjectName(QStringLiteral("IDD_OK"));
    QPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    cancel->setObjectName(QStringLiteral("IDD_CANCEL"));
    connect(browse, &QPushButton::clicked, this, &LocalSettingDlg::chooseFolder);
    connect(ftp, &QPushButton::clicked, this, [this] {
        if (m_ftpAction)
            m_ftpAction();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (save())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_removeStrategy, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LocalSettingDlg::updateRemoveFields);
    load();
    fitToWidth(560);
}

void LocalSettingDlg::setFtpSettingsAction(std::function<void()> action)
{
    m_ftpAction = std::move(action);
    m_ftpButton->setVisible(bool(m_ftpAction));
}

void LocalSettingDlg::load()
{
    m_imagePath->setText(KxSettings::instance()->localSetting(QStringLiteral("imagePath")));
    if (m_imagePath->text().isEmpty())
        m_imagePath->setText(stored(QStringLiteral("imagePath")));
    selectIndex(m_fileType, stored(QStringLiteral("imageFileType")));
    selectIndex(m_quality, stored(QStringLiteral("imageQuality")));
    selectIndex(m_removeStrategy, stored(QStringLiteral("imageRemoveStrategy")));
    selectIndex(m_saveDate, stored(QStringLiteral("imageSaveDate")));
    m_maxCount->setValue(qMax(1, stored(QStringLiteral("imageSaveMaxCount")).toInt()));
    selectIndex(m_reserve, stored(QStringLiteral("miniFreeReservedSpace")));
    selectIndex(m_fullStrategy, stored(QStringLiteral("imageStrategy")));
    selectIndex(m_logAge, stored(QStringLiteral("appLogAutoDelDate")));
    selectIndex(m_statisticsAge, stored(QStringLiteral("statisticsSaveDate")));
    m_refresh->setValue(qMax(1, stored(QStringLiteral("netDevFreshTimes")).toInt()));
    m_alive->setValue(qMax(1, stored(QStringLiteral("deviceAliveTimes")).toInt()));
    updateRemoveFields();
}

void LocalSettingDlg::updateRemoveFields()
{
    const bool byCount = m_removeStrategy->currentIndex() == 1;
    m_saveDate->setEnabled(!byCount);
    m_maxCount->setEnabled(byCount);
}

void LocalSettingDlg::chooseFolder()
{
    const QString dir = KxUi()->getExistingDirectory(kxTr(QStringLiteral("#IDS_FTP_SelectFolder")),
                                                     m_imagePath->text(), this);
    if (!dir.isEmpty())
        m_imagePath->setText(QDir::toNativeSeparators(dir));
}

bool LocalSettingDlg::save()
{
    const QString path = m_imagePath->text().trimmed();
    if (!writable(path)) {
        KxUi()->warning(QStringLiteral("#IDS_DRI_NO_WRITE_PERMISSION"), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    KxSettings *s = KxSettings::instance();
    s->setValue(kGroup, QStringLiteral("imagePath"), QDir::fromNativeSeparators(path));
    s->setValue(kGroup, QStringLiteral("imageFileType"), m_fileType->currentData().toString());
    s->setValue(kGroup, QStringLiteral("imageQuality"), m_quality->currentData().toString());
    s->setValue(kGroup, QStringLiteral("imageRemoveStrategy"), m_removeStrategy->currentData().toString());
    s->setValue(kGroup, QStringLiteral("imageSaveDate"), m_saveDate->currentData().toString());
    s->setValue(kGroup, QStringLiteral("imageSaveMaxCount"), QString::number(m_maxCount->value()));
    s->setValue(kGroup, QStringLiteral("miniFreeReservedSpace"), m_reserve->currentData().toString());
    s->setValue(kGroup, QStringLiteral("imageStrategy"), m_fullStrategy->currentData().toString());
    s->setValue(kGroup, QStringLiteral("appLogAutoDelDate"), m_logAge->currentData().toString());
    s->setValue(kGroup, QStringLiteral("statisticsSaveDate"), m_statisticsAge->currentData().toString());
    s->setValue(kGroup, QStringLiteral("netDevFreshTimes"), QString::number(m_refresh->value()));
    s->setValue(kGroup, QStringLiteral("deviceAliveTimes"), QString::number(m_alive->value()));
    qInfo() << "LocalSettingDlg::save()..." << path;
    return true;
}
