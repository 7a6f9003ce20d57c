#pragma once
// A pseudo-terminal whose far end looks like a reader's serial port.
#include <QObject>
#include <QString>

class QSocketNotifier;

class VrPty : public QObject
{
    Q_OBJECT
public:
    explicit VrPty(QObject *parent = nullptr);
    ~VrPty() override;

    // Opens the master side and sets the far end to raw mode; false with a message on failure.
    bool open(QString *error);
    QString path() const { return m_path; }
    void write(const QByteArray &bytes);
    // Reads nothing while paused (what a restarting reader does); input is discarded.
    void setPaused(bool paused) { m_paused = paused; }

signals:
    void received(const QByteArray &bytes);

private:
    void onReadable();

    int m_master = -1;
    int m_slave = -1;  // kept open so the master never sees a hang-up between clients
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    bool m_paused = false;
};
