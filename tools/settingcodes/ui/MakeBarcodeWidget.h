#pragma once
// The canvas of setting codes: holds one sheet of codes and paints it, codes one below the
// other, centred. begin() and end() put the enter (and batch) and exit codes around the codes
// added in between, once per generation.
#include "SettingCodeSheet.h"

#include <QWidget>

class MakeBarcodeWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MakeBarcodeWidget(QWidget *parent = nullptr);

    void setEncodeType(SettingCodeType type);
    SettingCodeType encodeType() const { return m_options.type; }
    void setUseEPair(bool on) { m_options.useEPair = on; }
    // Each ratio at least 1; square codes keep the vertical ratio equal to the horizontal one.
    void setRatios(int horizontal, int vertical);
    void setSpacing(int pixels);
    void setShowText(bool show, bool onTop);

    // Every code of `commands` between the setup codes, as the sheet lays them out. False with
    // `error` when a code cannot be made or does not read back; the codes made so far stay.
    bool generate(const QStringList &commands, bool digitMode, int digitThreshold, QString *error);

    void clear();
    void begin();
    bool addCode(const QString &text, const QString &label, bool update, QString *error);
    bool end(bool addExitCode, QString *error);
    int contentHeight() const { return m_sheet.contentHeight(); }
    const SettingCodeSheet &sheet() const { return m_sheet; }
    bool isEmpty() const { return m_sheet.items().isEmpty(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool addsSetupCodes() const;
    bool addsBatchCode() const;
    void relayout();
    static constexpr int kMargin = 12; // white above the first and below the last code

    SettingCodeSheet m_sheet;
    SettingCodeSheet::Options m_options;
    bool m_begun = false;
    bool m_ended = false;
};
