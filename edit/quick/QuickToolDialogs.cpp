#include "QuickToolDialogs.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *spin(QWidget *parent, const char *name, int lo, int hi, int value)
{
    auto *b = new QSpinBox(parent);
    b->setObjectName(QLatin1String(name));
    b->setRange(lo, hi);
    b->setValue(qBound(lo, value, hi));
    b->setMinimumHeight(28);
    return b;
}

QLabel *wrapped(const QString &key, QWidget *parent)
{
    auto *l = new QLabel(kxTr(key), parent);
    l->setWordWrap(true);
    return l;
}

}  // namespace

QuickTestSettingsDlg::QuickTestSettingsDlg(const QString &group, QWidget *parent)
    : NDialogEx(parent), m_group(group)
{
    setObjectName(QStringLiteral("QuickTestSettingsDlg"));
    setTitle(group == QuickTestPlan::triggerGroup() ? QStringLiteral("#IDS_TriggerTestSettings")
             : group == QuickTestPlan::debugGroup() ? QStringLiteral("#IDS_DebugTestSettings")
                                                    : QStringLiteral("#IDS_ReadTestSettings"));
    const QuickTestPlan::Settings s = QuickTestPlan::load(group);
    auto *form = new QFormLayout(contentWidget());
    form->setVerticalSpacing(10);
    form->setHorizontalSpacing(16);
    m_times = spin(contentWidget(), "spinTimes", 0, 999999, s.times);
    m_level = spin(contentWidget(), "spinLevel", 0, 100, s.level);
    if (group != QuickTestPlan::readGroup())
        form->addRow(wrapped(QStringLiteral("#IDS_NumberOfTimes"), contentWidget()), m_times);
    form->addRow(wrapped(QStringLiteral("#IDS_MatchingLevel"), contentWidget()), m_level);
    if (group == QuickTestPlan::readGroup()) {
        m_times->hide();
        m_sets = new QCheckBox(kxTr(QStringLiteral("#IDS_ReadTestWithSets")), contentWidget());
        m_sets->setObjectName(QStringLiteral("chkSets"));
        m_sets->setChecked(s.configLibIndex > 0);
        m_auto = new QCheckBox(kxTr(QStringLiteral("#IDS_ReadTestAutoTrigger")), contentWidget());
        m_auto->setObjectName(QStringLiteral("chkAuto"));
        m_auto->setChecked(s.autoTrigger);
        m_offset = spin(contentWidget(), "spinOffset", 50, 10000, s.timeOffset > 0 ? s.timeOffset : 200);
        form->addRow(m_sets);
        form->addRow(m_auto);
        form->addRow(wrapped(QStringLiteral("#IDS_ReadTestInterval"), contentWidget()), m_offset);
        const auto follow = [this] { m_offset->setEnabled(!m_auto->isChecked() && !m_sets->isChecked()); };
        connect(m_auto, &QCheckBox::toggled, this, follow);
        connect(m_sets, &QCheckBox::toggled, this, follow);
        follow();
    } else {
        form->addRow(wrapped(QStringLiteral("#IDS_NumberOfTimes_Tips"), contentWidget()));
    }
    connect(addButton(QStringLiteral("#IDS_OK"), 1), &QPushButton::clicked, this, &QuickTestSettingsDlg::accept);
    connect(addButton(QStringLiteral("#IDS_Cancel")), &QPushButton::clicked, this, &QuickTestSettingsDlg::reject);
    fitToWidth(440);
}

QuickTestPlan::Settings QuickTestSettingsDlg::settings() const
{
    QuickTestPlan::Settings s = QuickTestPlan::load(m_group);
    s.times = m_times->value();
    s.level = m_level->value();
    if (m_sets) {
        s.configLibIndex = m_sets->isChecked() ? 1 : 0;
        s.autoTrigger = m_auto->isChecked();
        s.timeOffset = m_offset->value();
    }
    return s;
}

void QuickTestSettingsDlg::accept()
{
    QuickTestPlan::save(m_group, settings());
    NDialogEx::accept();
}

AutoFocusParamsDlg::AutoFocusParamsDlg(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("AutoFocusParamsDlg"));
    setTitle(QStringLiteral("#IDS_AutoFocusParams"));
    auto *layout = new QVBoxLayout(contentWidget());
    const QString keys[3] = {QStringLiteral("#IDS_AutoFocus"), QStringLiteral("#IDS_PointFocus_2"),
                             QStringLiteral("#IDS_AlternateFocus")};
    for (int m = 0; m < 3; ++m) {
        m_buttons[m] = new QRadioButton(kxTr(keys[m]), contentWidget());
        m_buttons[m]->setObjectName(QStringLiteral("radioFocus%1").arg(m));
        layout->addWidget(m_buttons[m]);
    }
    m_buttons[stored()]->setChecked(true);
    connect(addButton(QStringLiteral("#IDS_OK"), 1), &QPushButton::clicked, this, &AutoFocusParamsDlg::accept);
    connect(addButton(QStringLiteral("#IDS_Cancel")), &QPushButton::clicked, this, &AutoFocusParamsDlg::reject);
    fitToWidth(380);
}

AutoFocusParamsDlg::Mode AutoFocusParamsDlg::stored()
{
    const int m = KxSettings::instance()->value(QStringLiteral("AutoFocus"), QStringLiteral("mode"), 0).toInt();
    return m == Point ? Point : m == Alternate ? Alternate : Auto;
}

void AutoFocusParamsDlg::store(Mode mode)
{
    KxSettings::instance()->setValue(QStringLiteral("AutoFocus"), QStringLiteral("mode"), int(mode));
}

QPoint AutoFocusParamsDlg::lastPoint()
{
    return KxSettings::instance()->value(QStringLiteral("AutoFocus"), QStringLiteral("point"), QPoint()).toPoint();
}

void AutoFocusParamsDlg::storePoint(const QPoint &point)
{
    KxSettings::instance()->setValue(QStringLiteral("AutoFocus"), QStringLiteral("point"), point);
}

void AutoFocusParamsDlg::accept()
{
    for (int m = 0; m < 3; ++m) {
        if (m_buttons[m]->isChecked())
            store(Mode(m));
    }
    NDialogEx::accept();
}
