#pragma once
// A column of setting codes between the enter and exit codes, laid out for a page and written to
// PDF. Every code is read back with ZXing as it is made; the first one that does not read back
// stops the generation with its message.
#include "SettingCodeEncoder.h"

#include <QImage>
#include <QList>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

struct SettingCodeItem
{
    QImage image;
    QString label;
    int baseHeight = 60;
    bool fixed = false;
};

class SettingCodeSheet
{
public:
    struct Options
    {
        SettingCodeType type = SettingCodeType::Code128;
        bool useEPair = true;     // "@SETUPE1"/"@SETUPE0", else "@SETUPN1"/"@SETUPN0"
        bool digitMode = false;
        int digitThreshold = 10;
        int mergeLimit = 512;
        int hRatio = 1;
        int vRatio = 1;
        int spacing = 20;
        bool showText = false;
        bool textOnTop = false;
    };

    // Makes every code of `commands`; false with `error` set when a code cannot be made or does
    // not read back (the codes made so far stay).
    bool generate(const QStringList &commands, const Options &options, QString *error);
    // Starts an empty sheet with `options` (ratios and spacing clamped); codes are then added
    // one by one with append().
    void reset(const Options &options);
    // Renders `text` (read back as it is made) and adds it with `label`; the enter, batch and exit
    // codes are always linear. False with `error` set when the code cannot be made.
    bool append(const QString &text, const QString &label, QString *error);
    // Changes only how the codes are laid out (ratios, spacing, text), keeping the codes.
    void setLayout(const Options &options);
    const Options &options() const { return m_options; }
    // The code texts generate() would make, in order, without rendering.
    static QStringList codeTexts(const QStringList &commands, const Options &options);

    const QList<SettingCodeItem> &items() const { return m_items; }
    int contentHeight() const;
    int unitWidth() const { return 100; }
    // Paints the codes from `first` on, starting at y = `top`, no lower than `bottom`, centred
    // in `width`; returns the index of the first code that did not fit.
    int paint(QPainter *painter, int first, int top, int bottom, int width) const;
    // An A4 PDF with a header of four lines (title, product, date, comments) and the codes.
    bool writePdf(const QString &path, const QStringList &header, QString *error) const;
    // Paints the header and every code onto pages of `device` (a PDF writer or a printer),
    // starting a new page whenever a code does not fit. False when painting cannot start.
    bool paintPages(QPagedPaintDevice *device, const QStringList &header) const;
    // A Word document (Office Open XML, .docx) with the header lines and each code as a
    // lossless PNG picture at the PDF's size, one code per paragraph.
    bool writeDocx(const QString &path, const QStringList &header, QString *error) const;
    // The size a code is drawn at, in pixels of a 150 dpi page.
    QSize codeSize(const SettingCodeItem &item) const;
    // Pixels per inch of the page layout; codes are drawn at whole multiples of it.
    static constexpr int kPageDpi = 150;

private:
    bool batchMode() const;
    QList<SettingCodeItem> m_items;
    Options m_options;
};
