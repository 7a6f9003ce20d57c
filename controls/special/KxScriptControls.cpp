#include "KxScriptControls.h"

#include "IKxSpecialReader.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxPropertyWidget.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <Qsci/qscilexerjavascript.h>
#include <Qsci/qscilexerlua.h>
#include <Qsci/qsciscintilla.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <QDomDocument>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QtDebug>

namespace {
QString currentLanguage()
{
    const QString lang = KxSettings::instance()->language();
    return lang.isEmpty() ? QStringLiteral("en") : lang;
}
}  // namespace

// --- assistance -----------------------------------------------------------------------------

KxScriptAssistance::KxScriptAssistance(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(kxTr(QStringLiteral("#ID_FRDTEXT_INTERFACE_LIST")), this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(kxTr(QStringLiteral("#IDS_Device_Searsh")));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("functions"));
    m_list->setWordWrap(true);
    m_list->setStyleSheet(QStringLiteral("QListWidget::item {background:#f0f0f0;border: 1px solid #B6B6B6; border-radius: 5px;"
                                         "margin: 0px;padding: 2px;}QListWidget::item:selected{background:#D2D2D2;}"));
    layout->addWidget(title);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    setMinimumWidth(220);
    connect(m_search, &QLineEdit::textChanged, this, &KxScriptAssistance::setFilter);
}

QList<KxApiFunction> KxScriptAssistance::parse(const QByteArray &xml, bool *ok)
{
    QList<KxApiFunction> out;
    QDomDocument doc;
    *ok = doc.setContent(xml);
    if (!*ok)
        return out;
    const QDomNodeList items = doc.elementsByTagName(QStringLiteral("interface"));
    for (int i = 0; i < items.size(); ++i) {
        const QDomElement e = items.at(i).toElement();
        KxApiFunction f;
        f.name = e.firstChildElement(QStringLiteral("name")).text().trimmed();
        f.simpleName = e.firstChildElement(QStringLiteral("simpleName")).text().trimmed();
        f.description = e.firstChildElement(QStringLiteral("description")).text().trimmed();
        f.description.replace(QLatin1String("\\n"), QLatin1String("\n"));
        if (!f.name.isEmpty())
            out << f;
    }
    return out;
}

bool KxScriptAssistance::load(const QString &path)
{
    QFile f(path);
    bool ok = false;
    m_file = f.open(QIODevice::ReadOnly) ? parse(f.readAll(), &ok) : QList<KxApiFunction>();
    rebuild();
    return ok;
}

void KxScriptAssistance::setReaderFunctions(const QStringList &names)
{
    m_reader = names;
    rebuild();
}

void KxScriptAssistance::setFilter(const QString &text)
{
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setHidden(!m_list->item(i)->text().contains(text, Qt::CaseInsensitive));
}

QStringList KxScriptAssistance::shownNames() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i) {
        if (!m_list->item(i)->isHidden())
            out << m_list->item(i)->data(Qt::UserRole).toString();
    }
    return out;
}

void KxScriptAssistance::rebuild()
{
    m_list->clear();
    auto add = [this](const QString &name, const QString &description) {
        auto *item = new QListWidgetItem(
            QStringLiteral("%1\n%2: %3").arg(name, kxTr(QStringLiteral("#ID_FRDTEXT_Description")), description), m_list);
        item->setData(Qt::UserRole, name);
    };
    QStringList listed;
    for (const KxApiFunction &f : qAsConst(m_file)) {
        add(f.name, f.description);
        listed << f.simpleName << f.name;
    }
    for (const QString &n : qAsConst(m_reader)) {
        if (!listed.contains(n))
            add(n, kxTr(QStringLiteral("#ID_FRDTEXT_FunctionUndefined")));
    }
    setFilter(m_search->text());
}

// --- the controls ---------------------------------------------------------------------------

KxScriptControl::KxScriptControl(KxScriptRunner::Language language, QObject *parent)
    : KxControlBase(parent), m_language(language)
{
}

QString KxScriptControl::apiFile(const QString &language)
{
    return QStringLiteral("%1/models/doc/api_%2.xml").arg(QCoreApplication::applicationDirPath(), language);
}

QString KxScriptControl::languageKey() const
{
    return m_language == KxScriptRunner::Lua ? QStringLiteral("Lua") : QStringLiteral("JS");
}

QWidget *KxScriptControl::editorWidget() const
{
    return m_root;
}

bool KxScriptControl::createEditor(QWidget *parent)
{
    m_root = new QWidget(parent);
    m_root->setObjectName(QStringLiteral("scriptPanel"));
    // Room for lines of code beside the function list.
    m_root->setMinimumWidth(700);
    auto *outer = new QVBoxLayout(m_root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QHBoxLayout;
    auto *importButton = new KxPushButton(QStringLiteral("#IDS_Import"), KxPushButton::Normal, m_root);
    auto *exportButton = new KxPushButton(QStringLiteral("#IDS_Export"), KxPushButton::Normal, m_root);
    m_check = new QLabel(m_root);
    m_check->setObjectName(QStringLiteral("check"));
    m_check->setWordWrap(true);
    bar->addWidget(importButton);
    bar->addWidget(exportButton);
    if (m_language == KxScriptRunner::JavaScript) {
        auto *help = new KxPushButton(QStringLiteral("#IDS_Help"), KxPushButton::Normal, m_root);
        help->setObjectName(QStringLiteral("help"));
        connect(help, &QPushButton::clicked, this, &KxScriptControl::openHelp);
        bar->addWidget(help);
    }
    bar->addWidget(m_check, 1);
    outer->addLayout(bar);

    auto *body = new QHBoxLayout;
    m_editor = new QsciScintilla(m_root);
    m_editor->setObjectName(QStringLiteral("source"));
    QsciLexer *lexer = m_language == KxScriptRunner::Lua ? static_cast<QsciLexer *>(new QsciLexerLua(m_editor))
                                                         : new QsciLexerJavaScript(m_editor);
    // One fixed-pitch font of one size for every style, or tokens drift apart on screen.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(10);
    lexer->setDefaultFont(mono);
    lexer->setFont(mono, -1);
    m_editor->setFont(mono);
    m_editor->setLexer(lexer);
    m_editor->setMarginType(0, QsciScintilla::NumberMargin);
    m_editor->setMarginWidth(0, QStringLiteral("0000"));
    m_editor->setUtf8(true);
    m_editor->setAutoIndent(true);
    m_editor->setMinimumHeight(qMax(160, intAttr(QStringLiteral("MinHeight"), 240) - 80));
    body->addWidget(m_editor, 3);
    m_assistance = new KxScriptAssistance(m_root);
    m_assistance->load(apiFile(currentLanguage()));
    // The vision editor has its own function help.
    if (owner() && owner()->objectName() == QLatin1String("VisionEdit"))
        m_assistance->hide();
    body->addWidget(m_assistance, 2);
    outer->addLayout(body, 1);

    auto *test = new QHBoxLayout;
    m_sample = new QLineEdit(QStringLiteral("QR-0123456789"), m_root);
    m_sample->setObjectName(QStringLiteral("sample"));
    auto *run = new KxPushButton(QStringLiteral("#IDS_Script_Test"), KxPushButton::Normal, m_root);
    run->setObjectName(QStringLiteral("test"));
    m_output = new QLabel(m_root);
    m_output->setObjectName(QStringLiteral("output"));
    m_output->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_output->setWordWrap(true);
    test->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_DataFormat_Sample")), m_root));
    test->addWidget(m_sample, 1);
    test->addWidget(run);
    outer->addLayout(test);
    outer->addWidget(m_output);

    connect(m_editor, &QsciScintilla::textChanged, this, &KxScriptControl::onTextChanged);
    connect(run, &QPushButton::clicked, this, &KxScriptControl::runTest);
    const QString filter = m_language == KxScriptRunner::Lua ? QStringLiteral("lua (*.lua)") : QStringLiteral("js (*.js)");
    connect(importButton, &QPushButton::clicked, this, [this, filter]() {
        const QString path = KxUi()->getOpenFileName(kxTr(QStringLiteral("#IDS_Import")), QString(), filter, m_root);
        if (!path.isEmpty())
            importFile(path);
    });
    connect(exportButton, &QPushButton::clicked, this, [this, filter]() {
        const QString path = KxUi()->getSaveFileName(kxTr(QStringLiteral("#IDS_Export")), QString(), filter, m_root);
        if (!path.isEmpty())
            exportFile(path);
    });
    setValue(item()->value);
    if (!KxControlBase::createEditor(parent))
        return false;
    readFunctions();
    return true;
}

// The functions the reader offers: the first list, else the second one.
void KxScriptControl::readFunctions()
{
    IKxSpecialReader *reader = IKxSpecialReader::find(this);
    if (!reader || !m_assistance || m_assistance->isHidden())
        return;
    const QStringList codes = m_language == KxScriptRunner::Lua
                                  ? QStringList{QStringLiteral("LUAQAS"), QStringLiteral("LUAQAA")}
                                  : QStringList{QStringLiteral("SCRQFN"), QStringLiteral("SCRQAA")};
    QPointer<KxScriptAssistance> panel = m_assistance;
    reader->queryFirst(codes, this, [panel](const QString &, const QByteArray &value, const QString &error) {
        if (!panel)
            return;
        if (!error.isEmpty()) {
            qWarning().noquote() << "KxScriptControl: function list not read:" << error;
            return;
        }
        QStringList names;
        for (const QString &n : QString::fromUtf8(value).split(QLatin1Char('|'), Qt::SkipEmptyParts))
            names << n.trimmed();
        panel->setReaderFunctions(names);
    });
}

void KxScriptControl::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    QString text;
    const QString previous = m_value;
    if (!v.isValid() || !KxScriptValue::decode(v.toString(), &text)) {
        m_value = QStringLiteral("0M0L");
        text.clear();
        if (m_editor) {
            m_loading = true;
            m_editor->setText(QString());
            m_loading = false;
        }
        if (m_value != previous && !previous.isEmpty()) {
            m_notified = m_value;
            notifyValueChanged(true);
        }
        return;
    }
    m_value = m_notified = KxScriptValue::encode(text);
    if (m_editor && m_editor->text() != text) {
        m_loading = true;
        m_editor->setText(text);
        m_loading = false;
        onTextChanged();
    }
}

QVariant KxScriptControl::value() const
{
    return m_root ? QVariant(m_value) : QVariant();
}

QString KxScriptControl::script() const
{
    return m_editor ? m_editor->text() : QString();
}

void KxScriptControl::setScript(const QString &text)
{
    if (!m_editor)
        return;
    // One change for the whole text, not one for clearing and one for inserting.
    m_loading = true;
    m_editor->setText(text);
    m_loading = false;
    onTextChanged();
    if (m_notify)
        m_notify->stop();
    commitValue();
}

void KxScriptControl::commitValue()
{
    // A script that does not compile stays in the editor, shown with its error, and is never
    // sent: the reader would fail on every code until the next edit.
    if (m_value == m_notified || !m_checkOk)
        return;
    m_notified = m_value;
    notifyValueChanged(true);
}

QString KxScriptControl::checkText() const
{
    return m_check ? m_check->text() : QString();
}

QString KxScriptControl::testOutput() const
{
    return m_output ? m_output->text() : QString();
}

void KxScriptControl::setSample(const QString &sample)
{
    if (m_sample)
        m_sample->setText(sample);
}

void KxScriptControl::onTextChanged()
{
    const QString text = m_editor->text();
    const KxScriptOutcome check = KxScriptRunner::check(m_language, text);
    m_checkOk = check.kind != KxScriptOutcome::Error;
    if (!m_checkOk) {
        QString details = check.error;
        if (m_language == KxScriptRunner::Lua)
            details = kxTr(QStringLiteral("#ID_FRDTEXT_LUAERROR1")) + QStringLiteral("%1[%2].").arg(check.error).arg(check.line);
        m_check->setText(QStringLiteral("ERROR: ") + details);
        m_check->setStyleSheet(QStringLiteral("color: red;"));
    } else {
        m_check->setText(QStringLiteral("OK"));
        m_check->setStyleSheet(QStringLiteral("color: green;"));
    }
    if (m_loading)
        return;
    m_value = KxScriptValue::encode(text);
    // Typing reports the script once the user pauses, not one change per key.
    if (!m_notify) {
        m_notify = new QTimer(this);
        m_notify->setSingleShot(true);
        m_notify->setInterval(800);
        connect(m_notify, &QTimer::timeout, this, &KxScriptControl::commitValue);
    }
    m_notify->start();
}

// The same engine, API and limits as the reader, on the sample the user typed.
void KxScriptControl::runTest()
{
    const KxScriptOutcome o = KxScriptRunner::run(m_language, script(), m_sample->text().toUtf8(), QStringLiteral("032"));
    QString text;
    switch (o.kind) {
    case KxScriptOutcome::Output:
        text = kxTr(QStringLiteral("#IDS_DataFormat_Preview")) + QStringLiteral(": ") + QString::fromUtf8(o.output);
        break;
    case KxScriptOutcome::Unchanged:
        text = kxTr(QStringLiteral("#IDS_DataFormat_Preview")) + QStringLiteral(": ") + m_sample->text();
        break;
    case KxScriptOutcome::Skipped:
        text = kxTr(QStringLiteral("#IDS_DataFormat_Discarded"));
        break;
    case KxScriptOutcome::Error:
        text = QStringLiteral("ERROR: ") + o.error;
        break;
    }
    for (const QString &line : o.log)
        text += QStringLiteral("\nlog: ") + line;
    m_output->setText(text);
    m_output->setStyleSheet(o.kind == KxScriptOutcome::Error ? QStringLiteral("color: red;") : QString());
}

namespace {
std::function<bool(const QUrl &)> &documentOpener()
{
    static std::function<bool(const QUrl &)> opener;
    return opener;
}
}  // namespace

void KxScriptControl::setDocumentOpener(std::function<bool(const QUrl &)> opener)
{
    documentOpener() = std::move(opener);
}

// The shipped document of the language when there is one; else one written from the API
// description into the data folder, so the help always describes the functions in use.
QString KxScriptControl::helpDocument(const QString &language)
{
    const QString shipped =
        QStringLiteral("%1/models/doc/js_%2.pdf").arg(QCoreApplication::applicationDirPath(), language);
    if (QFileInfo::exists(shipped))
        return shipped;
    QFile api(apiFile(language));
    bool ok = false;
    const QList<KxApiFunction> functions =
        api.open(QIODevice::ReadOnly) ? KxScriptAssistance::parse(api.readAll(), &ok) : QList<KxApiFunction>();
    if (!ok)
        return QString();
    const QString dir = KxConfig::instance()->dataDir() + QStringLiteral("/doc");
    if (!QDir().mkpath(dir))
        return QString();
    QString html = QStringLiteral("<h2>%1</h2>").arg(kxTr(QStringLiteral("#IDS_Script_HelpTitle")).toHtmlEscaped());
    for (const KxApiFunction &f : functions) {
        html += QStringLiteral("<h3>%1</h3><p>%2</p>")
                    .arg(f.name.toHtmlEscaped(), f.description.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    }
    const QString path = QStringLiteral("%1/js_%2.pdf").arg(dir, language);
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setTitle(kxTr(QStringLiteral("#IDS_Script_HelpTitle")));
    QTextDocument doc;
    doc.setHtml(html);
    doc.print(&pdf);
    return QFileInfo(path).size() > 0 ? path : QString();
}

void KxScriptControl::openHelp()
{
    const QString path = helpDocument(currentLanguage());
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened = !path.isEmpty()
                        && (documentOpener() ? documentOpener()(url) : QDesktopServices::openUrl(url));
    if (!opened)
        KxUi()->toast(QStringLiteral("#IDS_Script_HelpFailed"), 3000, m_root, KxMsgType::Error);
}

bool KxScriptControl::importFile(const QString &path)
{
    QFile f(path);
    const QString key = QStringLiteral("#IDS_Import_%1_").arg(languageKey());
    if (!f.open(QIODevice::ReadOnly)) {
        KxUi()->toast(key + QStringLiteral("Failed"), 3000, m_root, KxMsgType::Error);
        return false;
    }
    setScript(QString::fromUtf8(f.readAll()));
    KxUi()->toast(key + QStringLiteral("Success"), 3000, m_root);
    return true;
}

bool KxScriptControl::exportFile(const QString &path)
{
    QSaveFile f(path);
    const QByteArray bytes = script().toUtf8();
    const bool ok = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
    const QString key = QStringLiteral("#IDS_Export_%1_").arg(languageKey());
    KxUi()->toast(key + (ok ? QStringLiteral("Success") : QStringLiteral("Failed")), 3000, m_root,
                  ok ? KxMsgType::Information : KxMsgType::Error);
    return ok;
}
