#pragma once
// The setting-code dialog: the commands of the changed settings, the symbology and layout
// options, the canvas of codes, and print, PDF and Word output.
#include "NDialogEx.h"

#include <QStringList>

class MakeBarcodeWidget;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QScrollArea;
class QSlider;
class QSpinBox;

class BarcodeProgramming : public NDialogEx
{
    Q_OBJECT
public:
    explicit BarcodeProgramming(QWidget *parent = nullptr);

    // One changed setting; lists of data formats and configuration sets become one command each.
    void addCommand(const QString &name, const QString &value);
    void clearCommands();
    const QStringList &commands() const { return m_commands; }
    void setProductName(const QString &name) { m_productName = name; }

    // Regenerates every code with the current options; false (and the user told why) when a code
    // cannot be made.
    bool generate();
    // The four header lines of printed pages.
    QStringList header() const;
    bool saveAsPdf();
    bool saveAsWord();
    void print();
    void showInterfaceCodes();

    MakeBarcodeWidget *canvas() const { return m_canvas; }
    static const int kMergeLimit = 512;

private:
    QString askFileName(const QString &filter, const QString &suffix);
    bool ensureGenerated();
    void applyLayout();

    QStringList m_commands;
    QString m_productName;
    QComboBox *m_encodeType;
    QCheckBox *m_digitEnable;
    QSpinBox *m_digitMax;
    QSlider *m_hRatio;
    QSlider *m_vRatio;
    QSpinBox *m_spacing;
    QCheckBox *m_displayText;
    QCheckBox *m_textOnTop;
    QLineEdit *m_title;
    QLineEdit *m_note;
    QScrollArea *m_scroll;
    MakeBarcodeWidget *m_canvas;
};
