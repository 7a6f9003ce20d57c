#pragma once
// A frameless message box: an icon for the kind of message, word-wrapped text at a fixed width
// (350 px unless told otherwise) and the buttons of a button-set key such as "#IDS_OK|Cancel".
// exec() returns the 1-based number of the pressed button, 0 when closed by the title bar.
#include "KxUiTypes.h"
#include "NDialogEx.h"

#include <QList>

class QLabel;

class NMessageBox : public NDialogEx
{
    Q_OBJECT
public:
    NMessageBox(KxMsgType type, const QString &title, const QString &text,
                const QString &buttonSet = QStringLiteral("#IDS_MessageBox_OK"), int width = 350,
                QWidget *parent = nullptr);

    KxMsgType type() const { return m_type; }
    QString text() const;
    QString buttonSet() const { return m_buttonSet; }
    int buttonCount() const { return m_buttons.size(); }
    // The 1-based button, or nullptr.
    KxPushButton *button(int number) const;
    // What the last exec()/done() means: number, role and key.
    KxMessageResult messageResult() const;

    // Shows a box modally and returns the answer (the UI service calls this; other code asks
    // the service so that tests can answer instead).
    static KxMessageResult ask(const KxMessageRequest &request);

private:
    KxMsgType m_type;
    QString m_buttonSet;
    QLabel *m_labText;
    QList<KxPushButton *> m_buttons;
};
