#pragma once
// What a successful self-learning changed: the reader's image before and after, and the
// settings it changed as changed commands, each of which the user keeps or undoes. Undo puts
// back the reader's stored value as the history's undo does; kept ones stay unsaved changes
// for the usual save.
#include "KxDeviceTypes.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QVector>

class KxDeviceConnector;
class QLabel;
class QPushButton;
class QTableWidget;

class SelfLearningResultDlg : public QDialog
{
    Q_OBJECT
public:
    SelfLearningResultDlg(QPointer<KxDeviceConnector> connector, const QImage &before, const QImage &after,
                          const QVector<ChangedCmdInfo> &changes, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }
    // The undo button of a code's row; null when the code is not listed.
    QPushButton *undoButton(const QString &code) const;
    QPushButton *keepButton() const { return m_keep; }
    QLabel *beforeImage() const { return m_before; }
    QLabel *afterImage() const { return m_after; }

signals:
    // An undo finished; ok false when the reader did not take the stored value back.
    void undone(const QString &code, bool ok);

private:
    void undo(const QString &code);
    int rowOf(const QString &code) const;

    QPointer<KxDeviceConnector> m_connector;
    QTableWidget *m_table;
    QPushButton *m_keep;
    QLabel *m_before;
    QLabel *m_after;
};
