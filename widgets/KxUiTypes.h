#pragma once
// Plain request and answer types of the UI service and the message box.
#include <QMetaType>
#include <QString>
#include <QStringList>

class QWidget;

enum class KxMsgType { Information, Question, Warning, Error };

// What a message box button means to the caller, derived from its text key.
enum class KxButtonRole { Accept, Yes, No, Reject, Action };

// The answer of a message box: the 1-based number of the pressed button (the first button of
// "#IDS_OK|Cancel" is 1), or 0 when the box was closed without one (close button).
struct KxMessageResult {
    int button = 0;
    KxButtonRole role = KxButtonRole::Reject;
    QString key; // the button's text key, empty when closed

    bool isAccepted() const { return role == KxButtonRole::Accept || role == KxButtonRole::Yes; }
    bool isNo() const { return role == KxButtonRole::No; }
    bool isRejected() const { return !isAccepted() && !isNo() && role != KxButtonRole::Action; }
};

struct KxMessageRequest {
    KxMsgType type = KxMsgType::Information;
    QString title = QStringLiteral("#IDS_Tips"); // text key or plain text
    QString text;                                // text key or plain text
    QString buttons = QStringLiteral("#IDS_MessageBox_OK");
    int width = 350;
    QWidget *parent = nullptr;
};

enum class KxFileDialogKind { OpenFile, OpenFiles, SaveFile, Directory };

struct KxFileRequest {
    KxFileDialogKind kind = KxFileDialogKind::OpenFile;
    QString title; // text key or plain text; empty gives a default per kind
    QString dir;   // start folder, or a proposed file path for SaveFile
    QString filter;
    QWidget *parent = nullptr;
};

// Empty files (and an empty selectedFilter) mean the user cancelled.
struct KxFileResult {
    QStringList files;
    QString selectedFilter;

    bool cancelled() const { return files.isEmpty(); }
    QString first() const { return files.isEmpty() ? QString() : files.first(); }
};

struct KxInputRequest {
    QString title;
    QString label;
    QString text;        // initial value
    QString placeholder; // key or text
    int maxLength = 256;
    bool allowEmpty = false;
    QWidget *parent = nullptr;
};

struct KxInputResult {
    bool ok = false;
    QString text;
};

Q_DECLARE_METATYPE(KxMsgType)
Q_DECLARE_METATYPE(KxButtonRole)
