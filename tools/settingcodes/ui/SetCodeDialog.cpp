#include "SetCodeDialog.h"

#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "MakeBarcodeWidget.h"
#include "PrintWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

SetCodeDialog::SetCodeDialog(QWidget *parent)
    : NDialogEx(parent)
    , m_interfaces(new QComboBox)
    , m_setupN(new QCheckBox(kxTr(QStringLiteral("#IDS_SETUPN_CHECK"))))
    , m_canvas(new MakeBarcodeWidget)
{
    setObjectName(QStringLiteral("SetCodeDialog"));
    setTitle(QStringLiteral("#IDS_SETUPSetting_INTERF"));
    m_interfaces->setObjectName(QStringLiteral("interfaceList"));
    for (const auto &entry : parseList(kxTr(QStringLiteral("#ID_STLIST_INTERF"))))
        m_interfaces->addItem(entry.first, entry.second);
    m_setupN->setObjectName(QStringLiteral("setupNCheck"));
    auto *text = new QLabel(kxTr(QStringLiteral("#ID_FRDTEXT_INTERF")));
    text->setWordWrap(true);
    m_canvas->setShowText(true, false);
    auto *scroll = new QScrollArea;
    m_scroll = scroll;
    scroll->setWidget(m_canvas);
    scroll->setWidgetResizable(true);
    scroll->setMinimumSize(380, 300);
    auto *layout = new QVBoxLayout(contentWidget());
    layout->addWidget(text);
    layout->addWidget(m_interfaces);
    layout->addWidget(m_setupN);
    layout->addWidget(scroll, 1);
    QPushButton *gen = addButton(QStringLiteral("#IDS_GenerateSettingCode"), 1);
    gen->setObjectName(QStringLiteral("btnGenerate"));
    QPushButton *print = addButton(QStringLiteral("#IDS_Print"));
    print->setObjectName(QStringLiteral("btnPrint"));
    QPushButton *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(gen, &QPushButton::clicked, this, [this] { generate(); });
    connect(print, &QPushButton::clicked, this, [this] {
        if (m_canvas->isEmpty() && !generate())
            return;
        PrintWidget preview(&m_canvas->sheet(), {m_interfaces->currentText()}, this);
        KxDialogRunner::run(&preview);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(460, 520);
}

QList<QPair<QString, QString>> SetCodeDialog::parseList(const QString &text)
{
    QList<QPair<QString, QString>> list;
    for (const QString &entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int comma = entry.lastIndexOf(QLatin1Char(','));
        if (comma <= 0 || comma == entry.size() - 1)
            continue;
        list.append({entry.left(comma).trimmed(), entry.mid(comma + 1).trimmed()});
    }
    return list;
}

bool SetCodeDialog::generate()
{
    if (m_interfaces->currentIndex() < 0)
        return false;
    m_canvas->setEncodeType(SettingCodeType::Code128);
    // Checked: the "N" pair, which applies the interface without storing the other settings.
    m_canvas->setUseEPair(!m_setupN->isChecked());
    m_canvas->clear();
    m_canvas->begin();
    QString error;
    const QString code = QStringLiteral("@INTERF%1;").arg(m_interfaces->currentData().toString());
    bool ok = m_canvas->addCode(code, m_interfaces->currentText(), true, &error);
    ok = m_canvas->end(false, &error) && ok;
    QTimer::singleShot(0, m_scroll, [this] { m_scroll->verticalScrollBar()->setValue(0); });
    if (!ok)
        KxUi()->warning(kxTr(QStringLiteral("#IDS_SettingCode_Failed")) + QStringLiteral("\n") + error,
                        QStringLiteral("#IDS_Tips"), this);
    return ok;
}
