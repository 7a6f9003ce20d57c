#pragma once
// One pass over serial ports: each port is opened, asked for the reader's identity ("@IDNQRY*")
// and closed again. All ports of a pass are probed side by side, bounded by one time-out, so a
// silent port costs the pass nothing more than that time-out.
#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

#include "KxKitTypes.h"

class QSerialPort;
class QTimer;
class KxFrameAssembler;

class KxSerialProber : public QObject
{
    Q_OBJECT
public:
    static constexpr int kProbeTimeoutMs = 1500;

    explicit KxSerialProber(QObject *parent = nullptr);
    ~KxSerialProber() override;

    bool isRunning() const { return !m_probes.empty(); }
    // Probes the ports; done gets port path -> information map of every port that answered.
    void run(const QStringList &ports, std::function<void(QMap<QString, KxDeviceInfoMap>)> done);

    // The identity query a port is asked.
    static QByteArray identityRequest();
    // The information map in an identity reply frame; empty when the reply does not carry one.
    static KxDeviceInfoMap parseIdentityReply(const QByteArray &frame);

private:
    struct Probe;
    void finishPort(const QString &path);
    void finishPass();

    std::map<QString, std::unique_ptr<Probe>> m_probes;
    QMap<QString, KxDeviceInfoMap> m_found;
    std::function<void(QMap<QString, KxDeviceInfoMap>)> m_done;
    QTimer *m_timer;
};
