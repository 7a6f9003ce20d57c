#include "BarcodeProgramming.h"

#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "MakeBarcodeWidget.h"
#include "PrintWidget.h"
#include "SetCodeDialog.h"
#include "SettingCodeCommands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QSlider *ratioSlider(const QString &name)
{
    auto *s = new QSlider(Qt::Horizontal);
    s->setObjectName(name);
    s->setRange(1, 9);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}
} // namespace

BarcodeProgramming::BarcodeProgramming(QWidget *parent)
    : NDialogEx(parent)
    , m_encodeType(new QComboBox)
    , m_digitEnable(new QCheckBox(kxTr(QStringLiteral("#IDS_DIG_ENABLE"))))
    , m_digitMax(new QSpinBox)
    , m_hRatio(ratioSlider(QStringLiteral("hRatio")))
    , m_vRatio(ratioSlider(QStringLiteral("vRatio")))
    , m_spacing(new QSpinBox)
    , m_displayText(new QCheckBox(kxTr(QStringLiteral("#IDS_DisplayText"))))
    , m_textOnTop(new QCheckBox(kxTr(QStringLiteral("#IDS_TextOnTop"))))
    , m_title(new QLineEdit)
    , m_note(new QLineEdit)
    , m_scroll(new QScrollArea)
    , m_canvas(new MakeBarcodeWidget)
{
    setObjectName(QStringLiteral("BarcodeProgramming"));
    setTitle(QStringLiteral("#IDS_SettingCode"));
    m_encodeType->setObjectName(QStringLiteral("encodeType"));
    m_encodeType->addItem(kxTr(QStringLiteral("#IDS_BatchProcBarcode_1D")), int(SettingCodeType::Code128));
    m_encodeType->addItem(kxTr(QStringLiteral("#IDS_BatchProcBarcode_PDF417")), int(SettingCodeType::Pdf417));
    m_encodeType->addItem(kxTr(QStringLiteral("#IDS_BatchProcBarcode_QR")), int(SettingCodeType::QrCode));
    m_encodeType->addItem(kxTr(QStringLiteral("#IDS_BatchProcBarcode_DataMatrix")), int(SettingCodeType::DataMatrix));
    m_encodeType->addItem(QStringLiteral("Data Matrix Square"), int(SettingCodeType::DataMatrixProgramming));
    m_digitEnable->setObjectName(QStringLiteral("digitEnable"));
    m_digitMax->setObjectName(QStringLiteral("digitMax"));
    m_digitMax->setRange(10, 9999);
    m_spacing->setObjectName(QStringLiteral("spacing"));
    m_spacing->setRange(0, 999);
    m_spacing->setValue(20);
    m_displayText->setObjectName(QStringLiteral("displayText"));
    m_textOnTop->setObjectName(QStringLiteral("textOnTop"));
    m_title->setObjectName(QStringLiteral("printTitle"));
    m_note->setObjectName(QStringLiteral("printNote"));

    auto *options = new QWidget;
    options->setObjectName(QStringLiteral("settingCodeOptions"));
    options->setFixedWidth(300);
    auto *form = new QFormLayout(options);
    form->setContentsMargins(0, 0, 8, 0);
    form->addRow(kxTr(QStringLiteral("#IDS_EncodedType")), m_encodeType);
    form->addRow(m_digitEnable);
    form->addRow(kxTr(QStringLiteral("#IDS_DIG_MAX")), m_digitMax);
    form->addRow(kxTr(QStringLiteral("#IDS_Barcode_HRatio")), m_hRatio);
    form->addRow(kxTr(QStringLiteral("#IDS_Barcode_VRatio")), m_vRatio);
    form->addRow(kxTr(QStringLiteral("#IDS_Barcode_Spacing")), m_spacing);
    form->addRow(m_displayText);
    form->addRow(m_textOnTop);
    form->addRow(kxTr(QStringLiteral("#IDS_PrintTitle")), m_title);
    form->addRow(kxTr(QStringLiteral("#IDS_PrintNote")), m_note);
    auto *interfaceCodes = new KxPushButton(kxTr(QStringLiteral("#IDS_SETUPSetting_INTERF")));
    interfaceCodes->setObjectName(QStringLiteral("btnInterfaceCodes"));
    form->addRow(interfaceCodes);

    m_scroll->setObjectName(QStringLiteral("settingCodeScroll"));
    m_scroll->setWidget(m_canvas);
    m_scroll->setWidgetResizable(true);
    m_scroll->setMinimumSize(420, 460);
    m_scroll->setStyleSheet(QStringLiteral("QScrollArea { border: 1px solid #dbdbdb; background: white; }"));

    auto *row = new QHBoxLayout(contentWidget());
    row->addWidget(options);
    row->addWidget(m_scroll, 1);

    QPushButton *generateBtn = addButton(QStringLiteral("#IDS_GenerateSettingCode"), 1);
    generateBtn->setObjectName(QStringLiteral("btnGenerate"));
    QPushButton *printBtn = addButton(QStringLiteral("#IDS_Print"));
    printBtn->setObjectName(QStringLiteral("btnPrint"));
    QPushButton *pdfBtn = addButton(QStringLiteral("#IDS_SaveAsPdf"));
    pdfBtn->setObjectName(QStringLiteral("btnSavePdf"));
    QPushButton *wordBtn = addButton(QStringLiteral("#IDS_SaveAsWord"));
    wordBtn->setObjectName(QStringLiteral("btnSaveWord"));
    QPushButton *closeBtn = addButton(QStringLiteral("#IDS_Close"));
    closeBtn->setObjectName(QStringLiteral("btnClose"));
    connect(generateBtn, &QPushButton::clicked, this, [this] { generate(); });
    connect(printBtn, &QPushButton::clicked, this, &BarcodeProgramming::print);
    connect(pdfBtn, &QPushButton::clicked, this, [this] { saveAsPdf(); });
    connect(wordBtn, &QPushButton::clicked, this, [this] { saveAsWord(); });
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(interfaceCodes, &QPushButton::clicked, this, &BarcodeProgramming::showInterfaceCodes);

    // Layout options apply at once; the symbology and digit codes take effect on generating.
    connect(m_hRatio, &QSlider::valueChanged, this, &BarcodeProgramming::applyLayout);
    connect(m_vRatio, &QSlider::valueChanged, this, &BarcodeProgramming::applyLayout);
    connect(m_spacing, QOverload<int>::of(&QSpinBox::valueChanged), this, &BarcodeProgramming::applyLayout);
    connect(m_displayText, &QCheckBox::toggled, this, &BarcodeProgramming::applyLayout);
    connect(m_textOnTop, &QCheckBox::toggled, this, &BarcodeProgramming::applyLayout);
    connect(m_digitEnable, &QCheckBox::toggled, m_digitMax, &QWidget::setEnabled);
    m_digitMax->setEnabled(false);
    applyLayout();
    resize(860, 640);
}

void BarcodeProgramming::addCommand(const QString &name, const QString &value)
{
    SettingCodeCommands::addCommand(&m_commands, name, value);
}

void BarcodeProgramming::clearCommands()
{
    m_commands.clear();
}

void BarcodeProgramming::applyLayout()
{
    m_canvas->setRatios(m_hRatio->value(), m_vRatio->value());
    m_canvas->setSpacing(m_spacing->value());
    m_canvas->setShowText(m_displayText->isChecked(), m_textOnTop->isChecked());
}

bool BarcodeProgramming::generate()
{
    const auto type = SettingCodeType(m_encodeType->currentData().toInt());
    m_canvas->setEncodeType(type);
    applyLayout();
    QString error;
    const bool ok = m_canvas->generate(m_commands, m_digitEnable->isChecked(), m_digitMax->value(), &error);
    // The first codes in view, once the scroll area has taken the canvas's new height.
    QTimer::singleShot(0, m_scroll, [this] { m_scroll->verticalScrollBar()->setValue(0); });
    qInfo() << "BarcodeProgramming::generate()..." << int(type) << m_commands.size() << ok << error;
    if (!ok)
        KxUi()->warning(kxTr(QStringLiteral("#IDS_SettingCode_Failed")) + QStringLiteral("\n") + error,
                        QStringLiteral("#IDS_Tips"), this);
    return ok;
}

bool BarcodeProgramming::ensureGenerated()
{
    return !m_canvas->isEmpty() || generate();
}

QStringList BarcodeProgramming::header() const
{
    return {QStringLiteral("Title: ") + m_title->text(), QStringLiteral("Product: ") + m_productName,
            QStringLiteral("Date Built: ") + QDate::currentDate().toString(Qt::ISODate),
            QStringLiteral("Comments: ") + m_note->text()};
}

QString BarcodeProgramming::askFileName(const QString &filter, const QString &suffix)
{
    const QString lastDir = KxSettings::instance()->value(QStringLiteral("default"), QStringLiteral("savefile"),
                                                          QDir::homePath()).toString();
    QString path = KxUi()->getSaveFileName(kxTr(QStringLiteral("#IDS_Save")), lastDir, filter, this);
    if (path.isEmpty())
        return path;
    if (QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) != 0)
        path += QLatin1Char('.') + suffix;
    KxSettings::instance()->setValue(QStringLiteral("default"), QStringLiteral("savefile"),
                                     QFileInfo(path).absolutePath());
    return path;
}

bool BarcodeProgramming::saveAsPdf()
{
    if (!ensureGenerated())
        return false;
    const QString path = askFileName(QStringLiteral("pdf (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return false;
    QString error;
    const bool ok = m_canvas->sheet().writePdf(path, header(), &error);
    qInfo() << "BarcodeProgramming::saveAsPdf()..." << path << ok << error;
    KxUi()->toast(ok ? QStringLiteral("#IDS_Save_Success") : QStringLiteral("#IDS_Save_Failed"), 3000, this,
                  ok ? KxMsgType::Information : KxMsgType::Warning);
    return ok;
}

bool BarcodeProgramming::saveAsWord()
{
    if (!ensureGenerated())
        return false;
    const QString path = askFileName(kxTr(QStringLiteral("#IDS_SaveAsDocx_Format")), QStringLiteral("docx"));
    if (path.isEmpty())
        return false;
    QString error;
    const bool ok = m_canvas->sheet().writeDocx(path, header(), &error);
    qInfo() << "BarcodeProgramming::saveAsWord()..." << path << ok << error;
    KxUi()->toast(ok ? QStringLiteral("#IDS_Save_Success") : QStringLiteral("#IDS_Save_Failed"), 3000, this,
                  ok ? KxMsgType::Information : KxMsgType::Warning);
    return ok;
}

void BarcodeProgramming::print()
{
    if (!ensureGenerated())
        return;
    PrintWidget preview(&m_canvas->sheet(), header(), this);
    KxDialogRunner::run(&preview);
}

void BarcodeProgramming::showInterfaceCodes()
{
    SetCodeDialog dialog(this);
    KxDialogRunner::run(&dialog);
}
