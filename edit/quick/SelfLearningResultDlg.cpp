#include "SelfLearningResultDlg.h"

#include "KxCmdFraming.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kImageW = 320;
constexpr int kImageH = 240;

QLabel *imageLabel(const QImage &image, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setFixedSize(kImageW, kImageH);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("QLabel{background:#202020;color:#d0d0d0;}"));
    if (image.isNull())
        l->setText(kxTr(QStringLiteral("#IDS_SelfLearning_NoImage")));
    else
        l->setPixmap(QPixmap::fromImage(image.scaled(l->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return l;
}

QString shown(const ChangedCmdInfo &c, const QVariant &v)
{
    Q_UNUSED(c);
    const QString text = v.toString();
    // Long values (a configuration set's record) are cut for the table; the tip has them whole.
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}
}  // namespace

SelfLearningResultDlg::SelfLearningResultDlg(QPointer<KxDeviceConnector> connector, const QImage &before,
                                             const QImage &after, const QVector<ChangedCmdInfo> &changes,
                                             QWidget *parent)
    : QDialog(parent), m_connector(std::move(connector))
{
    setObjectName(QStringLiteral("SelfLearningResultDlg"));
    setWindowTitle(kxTr(QStringLiteral("#IDS_SelfLearning_Result")));
    auto *layout = new QVBoxLayout(this);
    auto *images = new QGridLayout;
    images->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_SelfLearning_Before")), this), 0, 0);
    images->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_SelfLearning_After")), this), 0, 1);
    m_before = imageLabel(before, this);
    m_before->setObjectName(QStringLiteral("imageBefore"));
    m_after = imageLabel(after, this);
    m_after->setObjectName(QStringLiteral("imageAfter"));
    images->addWidget(m_before, 1, 0);
    images->addWidget(m_after, 1, 1);
    layout->addLayout(images);

    auto *hint = new QLabel(kxTr(QStringLiteral("#IDS_SelfLearning_ChangedHint")), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    m_table = new QTableWidget(changes.size(), 4, this);
    m_table->setObjectName(QStringLiteral("changedTable"));
    m_table->setHorizontalHeaderLabels({kxTr(QStringLiteral("#IDS_SelfLearning_Setting")),
                                        kxTr(QStringLiteral("#IDS_SelfLearning_Saved")),
                                        kxTr(QStringLiteral("#IDS_SelfLearning_Learned")), QString()});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int row = 0; row < changes.size(); ++row) {
        const ChangedCmdInfo &c = changes[row];
        const QString name = c.name.isEmpty() ? c.code : QStringLiteral("%1 (%2)").arg(kxTr(c.name), c.code);
        auto *item = new QTableWidgetItem(name);
        item->setData(Qt::UserRole, c.code);
        m_table->setItem(row, 0, item);
        auto *was = new QTableWidgetItem(shown(c, c.previous));
        was->setToolTip(c.previous.toString());
        m_table->setItem(row, 1, was);
        auto *now = new QTableWidgetItem(shown(c, c.value));
        now->setToolTip(c.value.toString());
        m_table->setItem(row, 2, now);
        auto *undoBtn = new QPushButton(kxTr(QStringLiteral("#ID_UNDO")), m_table);
        undoBtn->setObjectName(QStringLiteral("undo_") + c.code);
        const QString code = c.code;
        connect(undoBtn, &QPushButton::clicked, this, [this, code] { undo(code); });
        m_table->setCellWidget(row, 3, undoBtn);
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->setMinimumHeight(60 + 30 * qMin(changes.size(), 5));
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_keep = buttons->addButton(kxTr(QStringLiteral("#IDS_SelfLearning_Keep")), QDialogButtonBox::AcceptRole);
    m_keep->setObjectName(QStringLiteral("btnKeep"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int SelfLearningResultDlg::rowOf(const QString &code) const
{
    for (int r = 0; r < m_table->rowCount(); ++r) {
        if (m_table->item(r, 0) && m_table->item(r, 0)->data(Qt::UserRole).toString() == code)
            return r;
    }
    return -1;
}

QPushButton *SelfLearningResultDlg::undoButton(const QString &code) const
{
    const int r = rowOf(code);
    return r < 0 ? nullptr : qobject_cast<QPushButton *>(m_table->cellWidget(r, 3));
}

void SelfLearningResultDlg::undo(const QString &code)
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    QPushButton *b = undoButton(code);
    if (!cmd || !b)
        return;
    b->setEnabled(false);
    QPointer<SelfLearningResultDlg> self(this);
    const bool queued = cmd->restoreChangedCmd(code, this, [self, code](bool ok, const QStringList &) {
        if (!self)
            return;
        const int r = self->rowOf(code);
        if (QPushButton *b = self->undoButton(code)) {
            b->setEnabled(!ok);
            if (ok)
                b->setText(kxTr(QStringLiteral("#IDS_SelfLearning_Undone")));
        }
        if (ok && r >= 0 && self->m_table->item(r, 2))
            self->m_table->item(r, 2)->setText(self->m_table->item(r, 1)->text());
        if (!ok)
            KxUi()->error(KxCmdFraming::failureMessage({code}, true), QStringLiteral("#IDS_Tips"), self);
        emit self->undone(code, ok);
    });
    if (!queued)  // saved or discarded meanwhile: nothing left to undo
        emit undone(code, false);
}
