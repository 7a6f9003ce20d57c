#include "SetResultOutputFieldDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QVariant>
#include <QVBoxLayout>

namespace {
constexpr int kColumnsPerRow = 3;
}

SetResultOutputFieldDlg::SetResultOutputFieldDlg(QWidget *parent) : NDialogEx(parent)
{
    setTitle(QStringLiteral("#IDS_SetResultOutputField"));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setSpacing(10);
    m_selectAll = new QCheckBox(kxTr(QStringLiteral("#IDS_SelectAll")), contentWidget());
    layout->addWidget(m_selectAll);
    auto *line = new QFrame(contentWidget());
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color:#dbdbdb;"));
    layout->addWidget(line);
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(24);
    m_grid->setVerticalSpacing(10);
    layout->addLayout(m_grid);
    layout->addStretch(1);
    m_ok = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_selectAll, &QCheckBox::clicked, this, &SetResultOutputFieldDlg::onSelectAll);
    m_ok->setEnabled(false);
}

void SetResultOutputFieldDlg::addItem(const QString &strDes, bool bCheck)
{
    auto *box = new QCheckBox(kxTr(strDes), contentWidget());
    box->setProperty("textKey", QVariant(strDes));
    box->setChecked(bCheck);
    const int n = m_boxes.size();
    m_grid->addWidget(box, n / kColumnsPerRow, n % kColumnsPerRow);
    m_boxes.append(box);
    connect(box, &QCheckBox::toggled, this, &SetResultOutputFieldDlg::onItemToggled);
    onItemToggled();
}

QList<bool> SetResultOutputFieldDlg::checkedItems() const
{
    QList<bool> out;
    for (const QCheckBox *box : m_boxes)
        out.append(box->isChecked());
    return out;
}

void SetResultOutputFieldDlg::onItemToggled()
{
    int checked = 0;
    for (const QCheckBox *box : m_boxes)
        checked += box->isChecked() ? 1 : 0;
    {
        const QSignalBlocker block(m_selectAll);
        m_selectAll->setChecked(checked == m_boxes.size() && checked > 0);
    }
    m_ok->setEnabled(checked > 0);
    if (checked > 0)
        emit anyChecked();
}

void SetResultOutputFieldDlg::onSelectAll(bool checked)
{
    for (QCheckBox *box : m_boxes) {
        const QSignalBlocker block(box);
        box->setChecked(checked);
    }
    onItemToggled();
}
