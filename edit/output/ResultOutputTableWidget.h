#pragma once
// Common part of the table panels: the bounded model, the view, copy and export of the visible
// columns, and the column choice, stored in the settings under the panel's head key.
#include "ResultOutputBaseWidget.h"

#include <QPointer>
#include <QTimer>
#include <QVector>

class QTableView;
class ResultOutputTableViewModel;
class SetResultOutputFieldDlg;

class ResultOutputTableWidget : public ResultOutputBaseWidget
{
    Q_OBJECT
public:
    QString copyText() const override;
    QStringList exportHead() const override;
    QList<QStringList> exportRows() const override;
    int rowCount() const override;

    QString headKey() const { return m_headKey; }
    QTableView *view() const { return m_view; }
    // The model with every row given so far (rows still waiting for the view are added first).
    ResultOutputTableViewModel *model() const;
    QList<int> visibleColumns() const;
    void setColumnsVisible(const QList<bool> &visible);
    // Opens the column dialog (not blocking); the choice applies when it is accepted.
    SetResultOutputFieldDlg *openFieldDialog();

public slots:
    void clear() override;

protected:
    ResultOutputTableWidget(const QStringList &columns, const QString &headKey, QWidget *parent);
    void appendRows(const QVector<QStringList> &rows);
    int columnOf(const QString &key) const { return m_ids.indexOf(key); }
    void fitColumns();
    bool event(QEvent *e) override;

private:
    void loadColumns();

    QString m_headKey;
    QStringList m_ids;  // the columns' keys as first given: stable names for the settings
    ResultOutputTableViewModel *m_model;
    QTableView *m_view;
    QPointer<SetResultOutputFieldDlg> m_dialog;
    // Rows wait here up to 40 ms, so a fast stream updates the view a few times a second.
    mutable QVector<QStringList> m_pending;
    QTimer *m_flushTimer;
    void flushPending() const;
};
