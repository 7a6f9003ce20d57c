#include "KxDataFormatControl.h"

#include "DataFormatDialogs.h"
#include "IKxSpecialReader.h"
#include "KxI18nUtil.h"

#include <QPushButton>
#include <QtDebug>

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
    if (!KxControlBase::createEditor(parent))
        return false;
    readRules();
    return true;
}

// The rules the reader uses, else the ones it has stored. They replace what the page was built
// with unless the user is already editing.
void KxDataFormat::readRules()
{
    IKxSpecialReader *reader = IKxSpecialReader::find(this);
    if (!reader)
        return;
    m_reading = true;
    reader->queryFirst({QStringLiteral("DFMQFA"), QStringLiteral("DFMQCU")}, this,
                       [this](const QString &code, const QByteArray &value, const QString &error) {
                           m_reading = false;
                           if (!error.isEmpty()) {
                               qWarning().noquote() << "KxDataFormat: data formats not read:" << error;
                               return;
                           }
                           const QString rules = QString::fromUtf8(value);
                           if (code.isEmpty() || m_dialog || rules == m_value)
                               return;
                           const bool was = isSilent();
                           setSilent(true);
                           setValue(rules);
                           acceptValue();
                           setSilent(was);
                       });
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
