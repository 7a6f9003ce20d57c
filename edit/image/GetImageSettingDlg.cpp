#include "GetImageSettingDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

GetImageSettingDlg::GetImageSettingDlg(const QSize &sensor, const BCodeImageOptions &options,
                                       QWidget *parent)
    : NDialogEx(parent), m_base(options)
{
    setObjectName(QStringLiteral("GetImageSettingDlg"));
    setTitle(QStringLiteral("#IDS_ImageParamSettings"));
    auto *form = new QFormLayout(contentWidget());
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setVerticalSpacing(10);
    form->setHorizontalSpacing(16);

    m_resolution = new QLabel(sensor.isValid()
                                  ? QStringLiteral("%1x%2").arg(sensor.width()).arg(sensor.height())
                                  : QStringLiteral("-"),
                              contentWidget());
    m_resolution->setObjectName(QStringLiteral("labResolution"));
    form->addRow(kxTr(QStringLiteral("#IDS_Resolution")), m_resolution);

    m_interval = new QSpinBox(contentWidget());
    m_interval->setObjectName(QStringLiteral("spinInterval"));
    m_interval->setRange(BCodeImageOptions::kMinIntervalMs, BCodeImageOptions::kMaxIntervalMs);
    m_interval->setValue(options.intervalMs);
    m_interval->setMinimumHeight(28);
    form->addRow(kxTr(QStringLiteral("#IDS_Interval_ms")), m_interval);

    const QString rows[BCodeImageOptions::ParamCount] = {
        QStringLiteral("#IDS_Type"), QStringLiteral("#IDS_ImageRatio"),
        QStringLiteral("#IDS_ImageFormat"), QStringLiteral("#IDS_ImageQuality"),
        QStringLiteral("#IDS_ImagePrepro"), QStringLiteral("#ID_FRDTEXT_Position")};
    const QString current[BCodeImageOptions::ParamCount] = {
        options.type, options.ratio, options.format, options.quality, options.prepro,
        options.position};
    for (int p = 0; p < BCodeImageOptions::ParamCount; ++p) {
        auto *box = new QComboBox(contentWidget());
        box->setObjectName(QStringLiteral("cbxParam%1").arg(p));
        box->setMinimumHeight(28);
        box->setMinimumWidth(200);
        for (const auto &offer : BCodeImageOptions::offered(BCodeImageOptions::Param(p)))
            box->addItem(offer.second, offer.first);
        int at = box->findData(current[p]);
        // Optional parameters start on their first choice; type, ratio and format must be chosen.
        if (at < 0 && p >= BCodeImageOptions::Quality)
            at = 0;
        box->setCurrentIndex(at);
        m_lists[p] = box;
        form->addRow(kxTr(rows[p]), box);
    }
    // Quality only matters for JPEG, preprocessing only for format 3.
    auto follow = [this]() {
        const QString f = m_lists[BCodeImageOptions::Format]->currentData().toString();
        m_lists[BCodeImageOptions::Quality]->setEnabled(f == QLatin1String("2"));
        m_lists[BCodeImageOptions::Prepro]->setEnabled(f == QLatin1String("3"));
    };
    connect(m_lists[BCodeImageOptions::Format], qOverload<int>(&QComboBox::currentIndexChanged),
            this, follow);
    follow();

    connect(addButton(QStringLiteral("#IDS_OK"), 1), &QPushButton::clicked, this,
            &GetImageSettingDlg::accept);
    connect(addButton(QStringLiteral("#IDS_Cancel")), &QPushButton::clicked, this,
            &GetImageSettingDlg::reject);
    fitToWidth(420);
}

BCodeImageOptions GetImageSettingDlg::options() const
{
    BCodeImageOptions o = m_base;
    auto pick = [this](BCodeImageOptions::Param p) {
        return m_lists[p]->currentIndex() < 0 ? QString() : m_lists[p]->currentData().toString();
    };
    o.type = pick(BCodeImageOptions::Type);
    o.ratio = pick(BCodeImageOptions::Ratio);
    o.format = pick(BCodeImageOptions::Format);
    o.quality = m_lists[BCodeImageOptions::Quality]->isEnabled() ? pick(BCodeImageOptions::Quality)
                                                                 : QString();
    o.prepro = m_lists[BCodeImageOptions::Prepro]->isEnabled() ? pick(BCodeImageOptions::Prepro)
                                                               : QString();
    o.position = pick(BCodeImageOptions::Position);
    o.intervalMs = m_interval->value();
    return o;
}

void GetImageSettingDlg::accept()
{
    options().store();
    NDialogEx::accept();
}
