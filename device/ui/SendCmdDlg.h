#pragma once
// Command interaction: raw commands to the reader being edited or to a serial port, with a
// history, hex display and hex input, and a log that can be saved as text.
#include "NDialogEx.h"
#include "SendCmdFormat.h"

#include <QPointer>

class KxDeviceCommand;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QSerialPort;

class SendCmdDlg : public NDialogEx
{
    Q_OBJECT
public:
    static constexpr int kLongTimeoutMs = 180000;  // "ATLSTA" runs long

    explicit SendCmdDlg(KxDeviceCommand *command, QWidget *parent = nullptr);
    ~SendCmdDlg() override;

    // Sends the typed text (or text) to the selected target; false when nothing was sent.
    bool sendText(const QString &text);
    bool saveLog();
    QString logText() const;
    QStringList history() const { return m_history; }
    QString historyPath() const;
    bool isSerialOpen() const;
    SendCmdFormat::Display display() const;

    QComboBox *input() const { return m_input; }
    QComboBox *target() const { return m_target; }
    QCheckBox *hexDisplay() const { return m_hexDisplay; }
    QCheckBox *hexSend() const { return m_hexSend; }

signals:
    void replyShown(const QString &line);

private:
    void buildUi();
    QWidget *buildSerialBox();
    void toggleSerial();
    void onSerialData();
    void appendLine(const QString &line);
    void showExchange(const QByteArray &request, const QByteArray &reply, int error);
    void loadHistoryCmds();
    void saveHistoryCmds();

    QPointer<KxDeviceCommand> m_command;
    QComboBox *m_target = nullptr;
    QComboBox *m_input = nullptr;
    QComboBox *m_port = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_stopBits = nullptr;
    QPushButton *m_btnOpen = nullptr;
    QCheckBox *m_hexDisplay = nullptr;
    QCheckBox *m_headTail = nullptr;
    QCheckBox *m_tags = nullptr;
    QCheckBox *m_hexSend = nullptr;
    QCheckBox *m_parse = nullptr;
    QPlainTextEdit *m_log = nullptr;
    QSerialPort *m_serial = nullptr;
    QByteArray m_serialRequest;
    QStringList m_history;
};
