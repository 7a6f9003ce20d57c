#pragma once
// The data format control ("DATAFORMAT"): a "#IDS_Setting" button in a page that opens the
// data format editor. Its value is the reader's rule text, one "%1:%2;\r\n" line per rule.
#include "KxControlBase.h"

#include <QPointer>

class DataFormatListDlg;
#include <QPushButton>

class KxDataFormat : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;
    DataFormatListDlg *openEditor();
    QPushButton *button() const { return m_button; }
    // True while the reader's rules are being read.
    bool isReading() const { return m_reading; }

private:
    void readRules();
    QPointer<QPushButton> m_button;
    QPointer<DataFormatListDlg> m_dialog;
    QString m_value;
    bool m_reading = false;
};
