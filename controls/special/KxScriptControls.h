#pragma once
// The script controls: JavaScript ("JS", KxJavaScript) and Lua ("LUASCRIPT", KxLuaControl). A
// source editor with highlighting, import and export, a check of the text as it is typed, a
// local test run on a sample code with the reader's own API, and the list of the functions the
// reader offers (KxScriptAssistance). The value is the script in "%1M%2L%3" form.
#include "KxControlBase.h"
#include "KxScript.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QUrl;
class QsciScintilla;

struct KxApiFunction
{
    QString name;
    QString simpleName;
    QString description;
};

class KxScriptAssistance : public QWidget
{
    Q_OBJECT
public:
    explicit KxScriptAssistance(QWidget *parent = nullptr);
    // Reads an API description file: one "interface" element per function; false when the file
    // is missing or broken (the list then stays empty).
    bool load(const QString &path);
    // The functions the reader names; those the file does not describe are listed as undefined.
    void setReaderFunctions(const QStringList &names);
    QStringList shownNames() const;
    QStringList readerFunctions() const { return m_reader; }
    void setFilter(const QString &text);
    static QList<KxApiFunction> parse(const QByteArray &xml, bool *ok);

private:
    void rebuild();
    QList<KxApiFunction> m_file;
    QStringList m_reader;
    QLineEdit *m_search;
    QListWidget *m_list;
};

class KxScriptControl : public KxControlBase
{
    Q_OBJECT
public:
    KxScriptControl(KxScriptRunner::Language language, QObject *parent);
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;

    QString script() const;
    void setScript(const QString &text);
    QString checkText() const;
    QString testOutput() const;
    void setSample(const QString &sample);
    void runTest();
    bool importFile(const QString &path);
    bool exportFile(const QString &path);
    KxScriptAssistance *assistance() const { return m_assistance; }
    // Where the API description of a language code lives.
    static QString apiFile(const QString &language);
    // The JavaScript help document of a language (written from the API description when none
    // is shipped); empty when there is none.
    static QString helpDocument(const QString &language);
    // Opens the help document; tests answer in place of the desktop.
    void openHelp();
    static void setDocumentOpener(std::function<bool(const QUrl &)> opener);

private:
    void readFunctions();
    void onTextChanged();
    void commitValue();
    QString languageKey() const;  // "JS" or "Lua" in the result keys

    KxScriptRunner::Language m_language;
    QPointer<QWidget> m_root;
    QsciScintilla *m_editor = nullptr;
    QLabel *m_check = nullptr;
    QLineEdit *m_sample = nullptr;
    QLabel *m_output = nullptr;
    KxScriptAssistance *m_assistance = nullptr;
    QString m_value = QStringLiteral("0M0L");
    QString m_notified = QStringLiteral("0M0L");  // the value last reported
    QTimer *m_notify = nullptr;
    bool m_loading = false;
    bool m_checkOk = true;  // the editor's text compiles
};

class KxJavaScript : public KxScriptControl
{
    Q_OBJECT
public:
    explicit KxJavaScript(QObject *parent = nullptr) : KxScriptControl(KxScriptRunner::JavaScript, parent) {}
};

class KxLuaControl : public KxScriptControl
{
    Q_OBJECT
public:
    explicit KxLuaControl(QObject *parent = nullptr) : KxScriptControl(KxScriptRunner::Lua, parent) {}
};
