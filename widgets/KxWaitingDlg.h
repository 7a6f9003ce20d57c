#pragma once
// The waiting dialog: a busy indicator with a text, shown without blocking while slow work runs,
// optionally with a cancel button. Cancel only emits signal_cancelClicked (and disables itself):
// the owner of the work stops it and closes the dialog.
#include "NDialogEx.h"

#include <QWidget>

class QLabel;
class QTimer;

class KxBusyIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit KxBusyIndicator(QWidget *parent = nullptr);
    QSize sizeHint() const override { return QSize(36, 36); }
    bool isSpinning() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer *m_timer;
    int m_angle = 0;
};

class KxWaitingDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit KxWaitingDlg(QWidget *parent = nullptr);

    // Text key or text; an empty cancel text hides the cancel button.
    void setText(const QString &textKey);
    QString text() const;
    void setCancelText(const QString &textKey);
    bool hasCancel() const;
    KxPushButton *cancelButton() const { return m_btnCancel; }

signals:
    void signal_cancelClicked();

private:
    void fitSize();
    KxBusyIndicator *m_busy;
    QLabel *m_labText;
    KxPushButton *m_btnCancel;
};
