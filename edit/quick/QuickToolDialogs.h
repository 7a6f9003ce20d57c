#pragma once
// Settings of the quick page's tools: the test settings of one group ("TestTrigger", "TestEx",
// "test") and the automatic-focus parameters.
#include "NDialogEx.h"
#include "QuickTestPlan.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

class QuickTestSettingsDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit QuickTestSettingsDlg(const QString &group, QWidget *parent = nullptr);
    QuickTestPlan::Settings settings() const;
    QSpinBox *timesBox() const { return m_times; }
    QSpinBox *levelBox() const { return m_level; }
    void accept() override;

private:
    QString m_group;
    QSpinBox *m_times;
    QSpinBox *m_level;
    QCheckBox *m_sets = nullptr;
    QCheckBox *m_auto = nullptr;
    QSpinBox *m_offset = nullptr;
};

// Which focus the automatic-focus tool runs; kept in group "AutoFocus", key "mode".
class AutoFocusParamsDlg : public NDialogEx
{
    Q_OBJECT
public:
    enum Mode { Auto = 0, Point = 1, Alternate = 2 };
    explicit AutoFocusParamsDlg(QWidget *parent = nullptr);
    static Mode stored();
    static void store(Mode mode);
    // The point of the last point focus, sensor pixels; null when none was chosen.
    static QPoint lastPoint();
    static void storePoint(const QPoint &point);
    QRadioButton *button(Mode mode) const { return m_buttons[mode]; }
    void accept() override;

private:
    QRadioButton *m_buttons[3];
};
