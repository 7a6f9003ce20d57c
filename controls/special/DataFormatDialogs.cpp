#include "DataFormatDialogs.h"

#include "KxDataFormatCatalogue.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace DataFormatText {

QString symbologyName(const QString &id)
{
    return id == QLatin1String(KxDataFormatText::kAllSymbologies) ? kxTr(QStringLiteral("#IDS_DataFormat_AllSymbologies"))
                                                                   : id;
}

QString displayLines(const QList<KxDataFormatRule> &rules)
{
    QStringList lines;
    for (const KxDataFormatRule &r : rules) {
        const QString text = r.serialize();
        if (!text.isEmpty())
            lines << QStringLiteral("Data Format %1:%2").arg(r.format).arg(text);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace DataFormatText

namespace {

QString typeName(const KxDataFormatParam &p)
{
    switch (p.type) {
    case KxDataFormatParam::Num:
        return QStringLiteral("NUM");
    case KxDataFormatParam::Key:
        return QStringLiteral("KEY");
    default:
        return QStringLiteral("CHAR");
    }
}

// A queued command as the table shows it: name, then its parameters.
QString describe(const KxDataFormatCommand &c)
{
    const KxDataFormatFunction *f = KxDataFormatCatalogue::find(c.code);
    QString s = c.code + QLatin1Char(' ') + (f ? kxTr(f->nameKey) : QString());
    QStringList params;
    for (int i = 0; i < c.params.size(); ++i) {
        const bool number = f && i < f->fields.size() && f->fields[i].param.type == KxDataFormatParam::Num;
        params << (number ? QString::fromLatin1(c.params[i]) : KxDataFormatCatalogue::display(c.params[i]));
    }
    if (!params.isEmpty())
        s += QStringLiteral(" (") + params.join(QStringLiteral(", ")) + QLatin1Char(')');
    return s;
}

}  // namespace

// --- one rule -------------------------------------------------------------------------------

DataFormatEditDlg::DataFormatEditDlg(const KxDataFormatRule &rule, bool adding, QWidget *parent)
    : NDialogEx(parent), m_rule(rule)
{
    setTitle(adding ? QStringLiteral("#IDS_AddDataFormat") : QStringLiteral("#IDS_DataFormatEditor"));
    auto *outer = new QVBoxLayout(contentWidget());
    outer->setSpacing(10);

    auto *head = new QHBoxLayout;
    m_format = new QSpinBox(contentWidget());
    m_format->setObjectName(QStringLiteral("formatNumber"));
    m_format->setRange(0, 99);
    m_format->setValue(qMax(0, rule.format));
    m_symbology = new QComboBox(contentWidget());
    m_symbology->setObjectName(QStringLiteral("symbology"));
    m_symbology->setEditable(true);
    m_symbology->addItem(DataFormatText::symbologyName(QStringLiteral("999")), QStringLiteral("999"));
    m_symbology->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]{0,3}$|^") + QRegularExpression::escape(m_symbology->itemText(0)) + QLatin1Char('$')), m_symbology));
    if (rule.symbology != QLatin1String("999"))
        m_symbology->setEditText(rule.symbology);
    m_length = new QSpinBox(contentWidget());
    m_length->setObjectName(QStringLiteral("length"));
    m_length->setRange(1, 9998);
    m_anyLength = new QCheckBox(kxTr(QStringLiteral("#IDS_DataFormat_AnyLength")), contentWidget());
    m_anyLength->setObjectName(QStringLiteral("anyLength"));
    const bool any = rule.length == KxDataFormatText::kAnyLength;
    m_anyLength->setChecked(any);
    m_length->setValue(any ? 12 : qBound(1, rule.length, 9998));
    m_length->setEnabled(!any);
    head->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_DataFormat_Number")), contentWidget()));
    head->addWidget(m_format);
    head->addSpacing(12);
    head->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_DataFormat_Symbology")), contentWidget()));
    head->addWidget(m_symbology, 1);
    head->addSpacing(12);
    head->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_Length")), contentWidget()));
    head->addWidget(m_length);
    head->addWidget(m_anyLength);
    outer->addLayout(head);

    auto *body = new QHBoxLayout;
    m_commands = new QTreeWidget(contentWidget());
    m_commands->setObjectName(QStringLiteral("commands"));
    m_commands->setHeaderHidden(true);
    m_commands->setMinimumSize(250, 300);
    QTreeWidgetItem *cls = nullptr;
    for (const KxDataFormatFunction &f : KxDataFormatCatalogue::functions()) {
        if (!cls || cls->data(0, Qt::UserRole + 1).toString() != f.classKey) {
            cls = new QTreeWidgetItem(m_commands, {kxTr(f.classKey)});
            cls->setData(0, Qt::UserRole + 1, f.classKey);
            cls->setFlags(Qt::ItemIsEnabled);
            cls->setExpanded(true);
        }
        auto *item = new QTreeWidgetItem(cls, {f.cmd + QLatin1Char(' ') + kxTr(f.nameKey)});
        item->setData(0, Qt::UserRole, f.cmd);
        item->setToolTip(0, kxTr(f.descKey));
    }
    body->addWidget(m_commands, 3);

    auto *middle = new QVBoxLayout;
    auto *helpTitle = new QLabel(kxTr(QStringLiteral("#IDS_RuleHelper")), contentWidget());
    helpTitle->setStyleSheet(QStringLiteral("font-weight:bold;"));
    m_help = new QLabel(kxTr(QStringLiteral("#IDS_RuleHelper_Tips")), contentWidget());
    m_help->setObjectName(QStringLiteral("help"));
    m_help->setWordWrap(true);
    m_help->setMinimumWidth(220);
    m_fieldBox = new QWidget(contentWidget());
    m_fieldLayout = new QVBoxLayout(m_fieldBox);
    m_fieldLayout->setContentsMargins(0, 0, 0, 0);
    auto *add = new KxPushButton(QStringLiteral("#IDS_DataFormat_AddCmd"), KxPushButton::Normal, contentWidget());
    add->setObjectName(QStringLiteral("addCommand"));
    middle->addWidget(helpTitle);
    middle->addWidget(m_help);
    middle->addWidget(m_fieldBox);
    middle->addWidget(add);
    middle->addStretch(1);
    body->addLayout(middle, 2);

    auto *right = new QVBoxLayout;
    m_table = new QTableWidget(0, 3, contentWidget());
    m_table->setObjectName(QStringLiteral("queue"));
    m_table->setHorizontalHeaderLabels({kxTr(QStringLiteral("#IDS_CmdQueue")), kxTr(QStringLiteral("#IDS_Length")),
                                        kxTr(QStringLiteral("#IDS_Type"))});
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setMinimumWidth(320);
    auto *remove = new KxPushButton(QStringLiteral("#IDS_Delete"), KxPushButton::Normal, contentWidget());
    remove->setObjectName(QStringLiteral("removeCommand"));
    right->addWidget(m_table, 1);
    right->addWidget(remove, 0, Qt::AlignRight);
    body->addLayout(right, 4);
    outer->addLayout(body, 1);

    auto *preview = new QFormLayout;
    m_sample = new QLineEdit(QStringLiteral("0123456789AB"), contentWidget());
    m_sample->setObjectName(QStringLiteral("sample"));
    m_preview = new QLabel(contentWidget());
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_preview->setWordWrap(true);
    m_status = new QLabel(contentWidget());
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setStyleSheet(QStringLiteral("color:#C0392B;"));
    preview->addRow(kxTr(QStringLiteral("#IDS_DataFormat_Sample")), m_sample);
    preview->addRow(kxTr(QStringLiteral("#IDS_DataFormat_Preview")), m_preview);
    preview->addRow(QString(), m_status);
    outer->addLayout(preview);

    KxPushButton *ok = addButton(QStringLiteral("#IDS_SaveDataFormat"), KxPushButton::Primary);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    connect(ok, &QPushButton::clicked, this, &DataFormatEditDlg::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this]() {
        QStringList entries;
        for (QWidget *w : qAsConst(m_fields)) {
            if (auto *e = qobject_cast<QLineEdit *>(w))
                entries << e->text();
            else if (auto *c = qobject_cast<QComboBox *>(w))
                entries << c->currentText();
        }
        addCommand(entries);
    });
    connect(remove, &QPushButton::clicked, this, [this]() { removeCommand(m_table->currentRow()); });
    connect(m_commands, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item && !item->data(0, Qt::UserRole).toString().isEmpty())
            selectCommand(item->data(0, Qt::UserRole).toString());
    });
    connect(m_anyLength, &QCheckBox::toggled, this, [this](bool on) {
        m_length->setEnabled(!on);
        refreshPreview();
    });
    connect(m_sample, &QLineEdit::textChanged, this, &DataFormatEditDlg::refreshPreview);
    connect(m_symbology, &QComboBox::currentTextChanged, this, &DataFormatEditDlg::refreshPreview);
    connect(m_length, QOverload<int>::of(&QSpinBox::valueChanged), this, &DataFormatEditDlg::refreshPreview);

    KxDataFormatCommands::decode(rule.commands, &m_queue);
    refreshQueue();
}

KxDataFormatRule DataFormatEditDlg::rule() const
{
    KxDataFormatRule r;
    r.format = m_format->value();
    const int index = m_symbology->findText(m_symbology->currentText());
    const QString typed = m_symbology->currentText().trimmed();
    r.symbology = index >= 0 ? m_symbology->itemData(index).toString()
                             : typed.rightJustified(3, QLatin1Char('0'));
    r.length = m_anyLength->isChecked() ? KxDataFormatText::kAnyLength : m_length->value();
    for (const KxDataFormatCommand &c : m_queue) {
        QString text;
        if (KxDataFormatCommands::encode(c, &text))
            r.commands += text;
    }
    return r;
}

void DataFormatEditDlg::selectCommand(const QString &cmd)
{
    const KxDataFormatFunction *f = KxDataFormatCatalogue::find(cmd);
    if (!f)
        return;
    m_selected = cmd;
    m_help->setText(QStringLiteral("%1 %2\n%3").arg(f->cmd, kxTr(f->nameKey), kxTr(f->descKey)));
    buildFields();
}

void DataFormatEditDlg::buildFields()
{
    qDeleteAll(m_fieldBox->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    m_fields.clear();
    const KxDataFormatFunction *f = KxDataFormatCatalogue::find(m_selected);
    if (!f)
        return;
    for (const KxDataFormatField &field : f->fields) {
        auto *note = new QLabel(kxTr(field.noteKey), m_fieldBox);
        note->setWordWrap(true);
        m_fieldLayout->addWidget(note);
        if (field.param.type == KxDataFormatParam::Key) {
            auto *keys = new QComboBox(m_fieldBox);
            keys->addItems(KxDataFormatCommands::keyNames());
            keys->setCurrentText(QStringLiteral("CR"));
            m_fieldLayout->addWidget(keys);
            m_fields << keys;
            continue;
        }
        auto *edit = new QLineEdit(m_fieldBox);
        if (field.param.type == KxDataFormatParam::Num) {
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]*$")), edit));
            edit->setMaxLength(field.param.length);
            edit->setPlaceholderText(QStringLiteral("1-%1").arg(field.param.max));
        } else {
            edit->setPlaceholderText(field.param.length == 1 ? QStringLiteral("A / [CR]") : QStringLiteral("ABC[TAB]"));
        }
        m_fieldLayout->addWidget(edit);
        m_fields << edit;
    }
}

bool DataFormatEditDlg::addCommand(const QStringList &entries)
{
    const KxDataFormatFunction *f = KxDataFormatCatalogue::find(m_selected);
    if (!f)
        return false;
    KxDataFormatCommand c;
    c.code = f->cmd;
    bool ok = entries.size() == f->fields.size();
    for (int i = 0; ok && i < f->fields.size(); ++i) {
        QByteArray bytes;
        ok = KxDataFormatCatalogue::parseInput(f->fields[i], entries[i], &bytes);
        c.params << bytes;
    }
    QString text;
    if (!ok || !KxDataFormatCommands::encode(c, &text)) {
        m_status->setText(kxTr(QStringLiteral("#IDS_DataFormat_InputUncorrect")));
        return false;
    }
    m_status->clear();
    m_queue << c;
    refreshQueue();
    m_table->selectRow(m_queue.size() - 1);
    return true;
}

void DataFormatEditDlg::removeCommand(int row)
{
    if (row < 0 || row >= m_queue.size())
        return;
    m_queue.removeAt(row);
    refreshQueue();
}

void DataFormatEditDlg::setSample(const QString &text)
{
    m_sample->setText(text);
}

QString DataFormatEditDlg::previewText() const
{
    return m_preview->text();
}

QString DataFormatEditDlg::statusText() const
{
    return m_status->text();
}

void DataFormatEditDlg::refreshQueue()
{
    m_table->setRowCount(m_queue.size());
    for (int i = 0; i < m_queue.size(); ++i) {
        const KxDataFormatCommand &c = m_queue[i];
        QString text;
        KxDataFormatCommands::encode(c, &text);
        QStringList types;
        for (const KxDataFormatParam &p : KxDataFormatCommands::params(c.code))
            types << typeName(p);
        m_table->setItem(i, 0, new QTableWidgetItem(describe(c)));
        m_table->setItem(i, 1, new QTableWidgetItem(QString::number(text.size())));
        m_table->setItem(i, 2, new QTableWidgetItem(types.join(QLatin1Char('/'))));
    }
    refreshPreview();
}

// The preview runs the same engine as the reader, with the rule's own symbology and length
// check, so the user sees whether the rule applies to the sample at all.
void DataFormatEditDlg::refreshPreview()
{
    const KxDataFormatRule r = rule();
    if (r.commands.isEmpty()) {
        m_preview->setText(QString());
        return;
    }
    const QByteArray sample = m_sample->text().toUtf8();
    const QString id = r.symbology == QLatin1String("999") ? QStringLiteral("999") : r.symbology;
    const KxDataFormatOutcome o = KxDataFormatEngine::apply({r}, sample, id);
    switch (o.kind) {
    case KxDataFormatOutcome::Formatted:
        m_preview->setText(KxDataFormatCatalogue::display(o.output));
        break;
    case KxDataFormatOutcome::Discarded:
        m_preview->setText(kxTr(QStringLiteral("#IDS_DataFormat_Discarded")));
        break;
    case KxDataFormatOutcome::Failed:
        m_preview->setText(kxTr(QStringLiteral("#IDS_DataFormat_PreviewFailed")) + QStringLiteral(": ") + o.error);
        break;
    case KxDataFormatOutcome::NoRule:
        m_preview->setText(kxTr(QStringLiteral("#IDS_DataFormat_NotApplied")));
        break;
    }
}

void DataFormatEditDlg::save()
{
    if (m_queue.isEmpty()) {
        m_status->setText(kxTr(QStringLiteral("#IDS_DataFormat_NoCommands")));
        return;
    }
    accept();
}

// --- the list of rules ----------------------------------------------------------------------

DataFormatListDlg::DataFormatListDlg(const QList<KxDataFormatRule> &rules, QWidget *parent)
    : NDialogEx(parent), m_rules(rules)
{
    setTitle(QStringLiteral("#IDS_SetDataFormat"));
    auto *layout = new QHBoxLayout(contentWidget());
    m_list = new QTreeWidget(contentWidget());
    m_list->setObjectName(QStringLiteral("rules"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({kxTr(QStringLiteral("#IDS_DataFormat_Number")), kxTr(QStringLiteral("#IDS_DataFormat_Symbology")),
                             kxTr(QStringLiteral("#IDS_Length")), kxTr(QStringLiteral("#IDS_CmdQueue"))});
    m_list->setMinimumSize(560, 260);
    layout->addWidget(m_list, 1);
    auto *side = new QVBoxLayout;
    const QList<QPair<const char *, std::function<void()>>> actions = {
        {"#IDS_AddDataFormat", [this]() { edit(-1); }},
        {"#IDS_Edit", [this]() { edit(m_list->currentIndex().row()); }},
        {"#IDS_Delete", [this]() { remove(m_list->currentIndex().row()); }},
        {"#IDS_MoveUp", [this]() { move(m_list->currentIndex().row(), -1); }},
        {"#IDS_MoveDown", [this]() { move(m_list->currentIndex().row(), 1); }}};
    for (const auto &a : actions) {
        auto *b = new KxPushButton(QString::fromLatin1(a.first), KxPushButton::Normal, contentWidget());
        b->setObjectName(QString::fromLatin1(a.first).mid(5));
        connect(b, &QPushButton::clicked, this, a.second);
        side->addWidget(b);
    }
    side->addStretch(1);
    layout->addLayout(side);
    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        edit(m_list->indexOfTopLevelItem(item));
    });
    refresh(0);
}

void DataFormatListDlg::refresh(int select)
{
    m_list->clear();
    for (const KxDataFormatRule &r : qAsConst(m_rules)) {
        const QString length = r.length == KxDataFormatText::kAnyLength ? kxTr(QStringLiteral("#IDS_DataFormat_AnyLength"))
                                                                         : QString::number(r.length);
        QList<KxDataFormatCommand> cmds;
        QStringList names;
        if (KxDataFormatCommands::decode(r.commands, &cmds)) {
            for (const KxDataFormatCommand &c : cmds)
                names << describe(c);
        }
        auto *item = new QTreeWidgetItem(m_list, {QString::number(r.format), DataFormatText::symbologyName(r.symbology),
                                                  length, names.isEmpty() ? r.commands : names.join(QStringLiteral("; "))});
        item->setToolTip(3, r.serialize());
    }
    if (select >= 0 && select < m_rules.size())
        m_list->setCurrentItem(m_list->topLevelItem(select));
}

DataFormatEditDlg *DataFormatListDlg::edit(int row)
{
    if (m_editor || row >= m_rules.size())
        return m_editor;
    const bool adding = row < 0;
    KxDataFormatRule r = adding ? KxDataFormatRule{m_rules.isEmpty() ? 1 : m_rules.last().format, QStringLiteral("999"),
                                                   KxDataFormatText::kAnyLength, QString()}
                                : m_rules[row];
    m_editor = new DataFormatEditDlg(r, adding, this);
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_editor, &QDialog::accepted, this, [this, row]() {
        if (!m_editor)
            return;
        if (row < 0) {
            m_rules << m_editor->rule();
            refresh(m_rules.size() - 1);
        } else {
            m_rules[row] = m_editor->rule();
            refresh(row);
        }
    });
    m_editor->open();
    return m_editor;
}

void DataFormatListDlg::remove(int row)
{
    if (row < 0 || row >= m_rules.size())
        return;
    m_rules.removeAt(row);
    refresh(qMin(row, m_rules.size() - 1));
}

void DataFormatListDlg::move(int row, int by)
{
    const int to = row + by;
    if (row < 0 || row >= m_rules.size() || to < 0 || to >= m_rules.size())
        return;
    m_rules.swapItemsAt(row, to);
    refresh(to);
}
