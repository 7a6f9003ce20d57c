#include "KxDataFormatControl.h"

#include "DataFormatDialogs.h"
#include "KxI18nUtil.h"

#include <QPushButton>

QWidget *KxDataFormat::editorWidget() const
{
    return m_button;
}

bool KxDataFormat::createEditor(QWidget *parent)
{
    m_button = new QPushButton(kxTr(QStringLiteral("#IDS_Setting")), parent);
    m_button->setObjectName(QStringLiteral("dataFormatButton"));
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setMinimumWidth(72);
    m_button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_button, &QPushButton::clicked, this, [this]() { openEditor(); });
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

DataFormatListDlg *KxDataFormat::openEditor()
{
    if (m_dialog)
        return m_dialog;
    m_dialog = new DataFormatListDlg(KxDataFormatList::parse(m_value), m_button);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this]() {
        if (!m_dialog)
            return;
        const QString v = KxDataFormatList::serialize(m_dialog->rules());
        if (v == m_value)
            return;
        m_value = v;
        notifyValueChanged(true);
    });
    m_dialog->open();
    return m_dialog;
}

void KxDataFormat::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    m_value = v.toString();
}

QVariant KxDataFormat::value() const
{
    return m_button ? QVariant(m_value) : QVariant();
}

QVariant KxDataFormat::displayValue() const
{
    return DataFormatText::displayLines(KxDataFormatList::parse(m_value));
}
