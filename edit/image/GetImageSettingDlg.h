#pragma once
// The image acquisition settings: the sensor's resolution, the interval of continuous
// fetching and the request parameters; OK stores them (BCodeImageOptions::store).
#include "BCodeImageOptions.h"
#include "NDialogEx.h"

class QComboBox;
class QLabel;
class QSpinBox;

class GetImageSettingDlg : public NDialogEx
{
    Q_OBJECT
public:
    GetImageSettingDlg(const QSize &sensor, const BCodeImageOptions &options,
                       QWidget *parent = nullptr);

    BCodeImageOptions options() const;
    QComboBox *list(BCodeImageOptions::Param p) const { return m_lists[p]; }
    QSpinBox *intervalBox() const { return m_interval; }
    QLabel *resolutionLabel() const { return m_resolution; }

    void accept() override;

private:
    QLabel *m_resolution;
    QSpinBox *m_interval;
    QComboBox *m_lists[BCodeImageOptions::ParamCount];
    BCodeImageOptions m_base;
};
