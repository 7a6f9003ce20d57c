#pragma once
// The reader's offline results: fetched when the window opens, shown in a table, saved to a
// workbook or CSV file, and cleared on the reader once the user confirms they are saved.
#include "NDialogEx.h"

#include <QPointer>

class KxDeviceConnector;
class KxPushButton;
class QLabel;
class QTableWidget;
class StoredDataSession;

class StoredDataDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit StoredDataDlg(KxDeviceConnector *connector, QWidget *parent = nullptr);
    ~StoredDataDlg() override;

    StoredDataSession *session() const { return m_session; }
    QTableWidget *table() const { return m_table; }
    QString statusText() const;
    bool savedSinceFetch() const { return m_saved; }

public slots:
    void refresh();
    bool saveTo(const QString &path);

protected:
    void reject() override;

private:
    void onFetched(bool ok, const QString &error);
    void onCleared(bool ok, const QString &error);
    void save();
    void clearOnReader();
    void updateButtons();

    StoredDataSession *m_session = nullptr;
    QTableWidget *m_table;
    QLabel *m_status;
    KxPushButton *m_refresh;
    KxPushButton *m_cancel;
    KxPushButton *m_save;
    KxPushButton *m_clear;
    bool m_saved = false;
};
