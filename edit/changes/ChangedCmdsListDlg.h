#pragma once
// The changed commands of a reader, one row each: display name and value. Save mode asks to
// save (1), not save (2) or cancel (0); history mode adds an undo button per row that restores
// that command on the reader, and a setting-code button (1).
#include "NDialogEx.h"

#include <QPointer>

class KxDeviceConnector;
class KxPushButton;
class QLabel;
class QTableWidget;

class ChangedCmdsListDlg : public NDialogEx
{
    Q_OBJECT
public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 400;
    static constexpr int kRowHeight = 35;
    static constexpr int kWrapWidth = 260;
    // The dynamic property of an undo button naming the command of its row.
    static constexpr const char *kUndoCodeProperty = "cmdCode";

    ChangedCmdsListDlg(KxDeviceConnector *connector, bool historyMode, QWidget *parent = nullptr);

    // Fills the table from the reader; false when there is no reader.
    bool fill(KxDeviceConnector *connector);
    bool isHistoryMode() const { return m_history; }
    // Whether the reader allows setting codes now (decides the setting-code button).
    void setSettingCodeAllowed(bool allowed);

    QTableWidget *table() const { return m_table; }
    int rowCount() const;
    QString rowCode(int row) const;
    // The row of a command code; -1 when it has none.
    int rowOf(const QString &code) const;
    // The button ending the dialog with this result; null when the mode has none.
    KxPushButton *button(int result) const;
    // The undo button of a row (history mode), as the user presses it.
    QWidget *undoButton(int row) const;

    // Width of the name column for names of these pixel widths: the widest plus 15, kept
    // between 150 and 260.
    static int nameColumnWidth(const QList<int> &nameWidths);
    // Height of a row whose name is this wide: 35, or 24 per started 260 pixels when it wraps.
    static int rowHeightFor(int nameWidth);

signals:
    // An undo finished; ok false when the reader did not take the previous value.
    void rowUndone(const QString &code, bool ok);

private:
    void OnUndoClicked();
    void updateSettingCodeButton();

    QPointer<KxDeviceConnector> m_connector;
    bool m_history;
    bool m_settingCodeAllowed = true;
    QLabel *m_text;
    QTableWidget *m_table;
    KxPushButton *m_buttons[3] = {};
};
