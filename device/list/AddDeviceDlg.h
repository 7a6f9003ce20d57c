#pragma once
// Adds a network reader by its address and command port. The dialog stays open (with a toast)
// when the input is invalid, the reader is already listed or nothing answers; it closes when the
// kit has added the reader, which then arrives through the kit's discovery signals.
#include "NDialogEx.h"

#include <functional>

class QLineEdit;

class AddDeviceDlg : public NDialogEx
{
    Q_OBJECT
public:
    // (ip, port) -> KxAddResult code; the device kit's addDevice unless replaced (tests).
    using AddFunction = std::function<int(const QString &, int)>;

    explicit AddDeviceDlg(QWidget *parent = nullptr);

    void setAddFunction(AddFunction add) { m_add = std::move(add); }
    QLineEdit *ipEdit() const { return m_ip; }
    QLineEdit *portEdit() const { return m_port; }
    KxPushButton *okButton() const { return m_btnOk; }

public slots:
    void onOkClicked();

private:
    QLineEdit *m_ip;
    QLineEdit *m_port;
    KxPushButton *m_btnOk;
    AddFunction m_add;
};
