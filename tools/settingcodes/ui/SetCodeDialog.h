#pragma once
// The interface code: one Code 128 that switches a reader's interface, after the enter code.
#include "NDialogEx.h"

class MakeBarcodeWidget;
class QCheckBox;
class QComboBox;

class SetCodeDialog : public NDialogEx
{
    Q_OBJECT
public:
    explicit SetCodeDialog(QWidget *parent = nullptr);

    // Makes the enter code and "@INTERF<value>;" for the chosen interface; no exit code, as the
    // reader restarts on its new interface.
    bool generate();
    MakeBarcodeWidget *canvas() const { return m_canvas; }
    QComboBox *interfaces() const { return m_interfaces; }

    // "#ID_STLIST_INTERF" entries: "text,value" pairs separated by ";".
    static QList<QPair<QString, QString>> parseList(const QString &text);

private:
    QComboBox *m_interfaces;
    QCheckBox *m_setupN;
    MakeBarcodeWidget *m_canvas;
    class QScrollArea *m_scroll;
};
