#pragma once
// A configuration file beside the connected reader: one row per command whose value differs,
// with its name, the reader's value and the file's value, and a check box; the selected rows
// are sent to the reader as changes (they stay unsaved until the user saves).
#include "KxConfigFileIO.h"
#include "NDialogEx.h"

#include <QPointer>

class KxDeviceConnector;
class KxPushButton;
class QTableWidget;

class KxConfigCompareDlg : public NDialogEx
{
    Q_OBJECT
public:
    enum Column { Col_Check = 0, Col_Name, Col_Reader, Col_File };

    KxConfigCompareDlg(KxDeviceConnector *connector, const QVector<KxConfigDiff> &diffs,
                       QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }
    int rowCount() const;
    QString rowCode(int row) const;
    void setRowChecked(int row, bool checked);
    QStringList checkedCodes() const;
    KxPushButton *applyButton() const { return m_apply; }
    KxPushButton *closeButton() const { return m_close; }

    // Sends the checked rows as changes; the dialog ends with 1 when all were taken.
    void applySelected();

signals:
    // Every selected row has been answered; failed lists the codes the reader refused.
    void applied(const QStringList &sent, const QStringList &failed);

private:
    QPointer<KxDeviceConnector> m_connector;
    QVector<KxConfigDiff> m_diffs;
    QTableWidget *m_table;
    KxPushButton *m_apply;
    KxPushButton *m_close;
    int m_outstanding = 0;
    QStringList m_sent;
    QStringList m_failed;
};
