#pragma once
// A one-line text input dialog: label, line edit, OK and Cancel. OK stays disabled while the
// (trimmed) text is empty unless empty input is allowed; Return presses OK when it is enabled.
#include "KxUiTypes.h"
#include "NDialogEx.h"

class QLabel;
class QLineEdit;

class KxInputDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit KxInputDlg(const KxInputRequest &request, QWidget *parent = nullptr);

    QString textValue() const;
    QLineEdit *lineEdit() const { return m_edit; }
    KxPushButton *okButton() const { return m_btnOk; }
    KxPushButton *cancelButton() const { return m_btnCancel; }

    static KxInputResult ask(const KxInputRequest &request);

private:
    void updateOk();
    bool m_allowEmpty;
    QLabel *m_label;
    QLineEdit *m_edit;
    KxPushButton *m_btnOk;
    KxPushButton *m_btnCancel;
};
