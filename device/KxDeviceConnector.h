#pragma once
// One opened reader: its links through the device kit, its login sequence and its command
// object. Lives on the main thread; owned by the registry of connected readers.
#include "KxDeviceTypes.h"
#include "KxKitTypes.h"
#include "KxResultTypes.h"

#include <QMap>
#include <QObject>
#include <QPointer>

#include <functional>

class KxBarcodeConsumerThread;
class KxDeviceCommand;
class KxDataStreamParser;

class KxDeviceConnector : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 60000;
    enum LoginResult {
        Login_Ok = 0,
        Login_NotConnected = -1,
        Login_CommandInit = -2,  // reading the settings (or the vision login) failed
        Login_VisionObjects = -3,
        Login_Resources = -4,
        Login_Cancelled = -5,  // cancelLogin() ended it; the reader is released
    };
    using AsyncReply = std::function<void(int error, const QByteArray &reply)>;

    explicit KxDeviceConnector(const QString &deviceId, QObject *parent = nullptr);
    ~KxDeviceConnector() override;

    QString deviceId() const { return m_deviceId; }
    KxDeviceInfoMap deviceInfo() const { return m_info; }
    void setDeviceInfo(const KxDeviceInfoMap &info);
    QMap<QString, QString> extraSettings() const { return m_extra; }
    void setExtraSetting(const QString &key, const QString &value) { m_extra.insert(key, value); }

    bool isConnected() const { return m_connected; }
    int state() const { return m_state; }
    KxDeviceCommand *command() const;

    bool isOffLine() const { return m_info.contains(QStringLiteral("offLine")); }
    bool isVision() const { return m_info.value(QStringLiteral("ZUI SUPPORT")) == QLatin1String("1"); }
    bool isSerialPort() const { return m_deviceId.contains(QLatin1String(":COM")); }
    bool isRemoved() const;
    bool isRfid() const { return m_rfid; }
    bool isRawStream() const { return m_rawStream; }
    QString productName() const;

    bool connectDevice(bool flag = true, bool startResults = true);
    bool connectCommandLink();
    bool connectWithAddress(const QString &address);
    int login(const QString &userName = {}, const QString &password = {}, bool remember = false);
    // The same login with the reading on the command worker: returns at once, done(code) runs
    // on the main thread while context lives. cancelLogin closes the link, which ends the
    // reading at once; done then gets Login_Cancelled.
    void loginAsync(const QString &userName, const QString &password, QObject *context,
                    const std::function<void(int code)> &done);
    void cancelLogin();
    bool isLoggingIn() const { return m_loggingIn; }
    bool logout();
    void disconnectDevice(bool stopResults = true);

    // Result handling (KxDeviceConnectorResults.cpp): raw streams, RFID readers and a non-zero
    // result mode go through the consumer thread; finished messages are parsed at once.
    void startResultHandling();
    void stopResultHandling();
    bool isResultHandling() const { return m_resultHandling; }
    void setResultMode(int mode);
    int resultMode() const { return m_resultMode; }
    KxBarcodeConsumerThread *consumerThread() const { return m_consumer; }

    bool sendMessage(const QByteArray &frame, QByteArray &reply, int *error = nullptr,
                     int timeoutMs = kTimeoutMs);
    int queryCommand(int protocol, const QString &code, QByteArray &value,
                     const QByteArray &extra = {}, int *error = nullptr, int timeoutMs = kTimeoutMs);
    bool queryParsed(int protocol, const QString &code, KxDataStreamParser &target,
                     int *error = nullptr, int timeoutMs = kTimeoutMs);
    bool queryTagMap(int protocol, const QString &code, QMap<QString, QByteArray> &out,
                     int *error = nullptr, int timeoutMs = kTimeoutMs);
    // Sends without waiting; callback runs on the main thread while context and this connector
    // live. False when nothing could be framed.
    bool sendAsync(QObject *context, const QString &code, int protocol, const QByteArray &extra,
                   const AsyncReply &callback);
    bool setDeviceTimeOut(int ms);

    // Vision readers (KxDeviceConnectorVision.cpp). The vision library installs what it does at
    // login: prepare runs where the login reads (the command worker, or the caller of login())
    // after "USRLGI" and may only send; finish runs on the connector's thread and creates the
    // vision objects from what prepare gathered. Both return a LoginResult.
    using VisionState = QMap<QString, QByteArray>;
    struct VisionHooks
    {
        std::function<int(KxDeviceConnector *, VisionState *)> prepare;
        std::function<int(KxDeviceConnector *, const VisionState &)> finish;
    };
    static void setVisionHooks(const VisionHooks &hooks);
    // The vision objects of a logged-in camera by role ("solution", "resource", "device"):
    // children of the connector, dropped at logout.
    QObject *visionObject(const QString &role) const { return m_visionObjects.value(role).data(); }
    void setVisionObject(const QString &role, QObject *object);
    // What failed when a camera's login failed (for the open error); empty otherwise.
    QString visionError() const { return m_visionError; }
    void setVisionError(const QString &text) { m_visionError = text; }

signals:
    void deviceConnectChanged(bool connected);
    void deviceStateChanged(int state);
    void messageReceived(const QByteArray &data);
    void tagsReceived(QList<STRUCT_TAG_INFO> lstTagsInfo);
    void batBarcodeReceived(QList<STRUCT_BARCODE_INFO> lstBarcodesInfo, bool bHasBQ);
    void batTestResultReceived(QList<STRU_TEST_RESULT_INFO> lstTestResults);
    // A camera's run and test results (compact JSON payloads of its result frames).
    void visionResultsReceived(QList<QByteArray> payloads);

private slots:
    void OnDeviceConnectChanged(const QString &device_id, bool connected);
    void OnMessageReceived(const QString &device_id, const QByteArray &data);
    void OnBarcodeReceived(const QString &device_id, const QByteArray &data);

private:
    bool heldByOtherTool() const;
    void setState(int state);
    int finishLogin(bool read, int visionCode = Login_Ok, const VisionState &vision = {});
    int visionLogin(VisionState *state);
    int finishVision(const VisionState &state);
    void logoutVision();
    QByteArray frameFor(int protocol, const QString &code, const QByteArray &extra) const;
    QList<QByteArray> currentNoReadMessages() const;
    void refreshNoReadMessages();

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QMap<QString, QString> m_extra;
    bool m_connected = false;
    int m_state = DeviceState_Created;
    bool m_loggingIn = false;
    bool m_loginCancelled = false;
    QPointer<KxDeviceCommand> m_command;
    bool m_rawStream = false;
    bool m_resultHandling = false;
    int m_resultMode = 0;
    bool m_rfid = false;
    KxBarcodeConsumerThread *m_consumer = nullptr;
    QList<QByteArray> m_noReads; // for finished messages parsed on this thread
    QString m_userName;
    QString m_password;
    bool m_remember = false;
    QMap<QString, QPointer<QObject>> m_visionObjects;
    QString m_visionError;
};
