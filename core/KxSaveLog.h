#pragma once
// The application log: the Qt message handler that writes every message to a log file (one
// per day, or rotated by line count or size) or, when switched on, forwards it to the log
// server. Safe to call from any thread.
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class KxSaveLog : public QObject
{
    Q_OBJECT
public:
    enum MsgType {
        Debug = 1,
        Info = 2,
        Warning = 4,
        Critical = 8,
        Fatal = 16,
        All = Debug | Info | Warning | Critical | Fatal
    };
    Q_DECLARE_FLAGS(MsgTypes, MsgType)

    static KxSaveLog *instance();

    // Formats one message as it is written: "[time] [Type] text", or with context
    // "[Filex] file(line:function)\n[time] [Type] text".
    static QString formatLine(QtMsgType type, const QString &msg, const QDateTime &now,
                              const char *file = nullptr, int line = 0,
                              const char *function = nullptr, bool useContext = false);
    static MsgType typeBit(QtMsgType type);
    // The mask for an "appLogLevel" value: "1" keeps everything, any other value drops info lines.
    static int maskForLevel(const QString &level);

    // The message handler body; also callable directly (tests, benchmarks).
    void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &msg);

    bool isInstalled() const;
    int msgLevel() const;
    int maxRow() const;
    int maxSize() const;
    bool toNet() const;
    QString path() const;
    QString name() const;
    QString currentFileName() const;

    // Tests: a fixed clock instead of the system time (an empty function restores it).
    void setClock(std::function<QDateTime()> clock);

signals:
    void send(QString content);

public slots:
    void start(); // installs the message handler (once)
    void stop();  // restores the previous handler and closes the file
    void clear(); // closes the file and deletes this log's files in the log directory
    void save(const QString &line); // writes one finished line
    void setMaxRow(int rows);
    void setMaxSize(int kiloBytes);
    void setListenPort(int port);
    void setToNet(bool on);
    void setUseContext(bool on);
    void setPath(const QString &path);
    void setName(const QString &name);
    void setMsgType(KxSaveLog::MsgTypes types);
    void setMsgLevel(const QString &level);

private:
    explicit KxSaveLog(QObject *parent = nullptr);
    ~KxSaveLog() override;
    static void messageHandler(QtMsgType type, const QMessageLogContext &context,
                               const QString &msg);
    QDateTime now() const;
    void writeLocked(const QString &line);
    bool needNewFile(const QDateTime &now);
    void openNewFile(const QDateTime &now);
    void closeFile();

    mutable QMutex m_mutex;
    bool m_installed = false;
    int m_maxRow = 0;
    int m_rowCount = 0;
    int m_maxSize = 5120;
    bool m_toNet = false;
    bool m_useContext = false;
    QPointer<QFile> m_file;
    QString m_path;
    QString m_name;
    QString m_fileName;
    qint64 m_fileSize = 0; // bytes in the current file
    int m_msgLevel = All;
    std::function<QDateTime()> m_clock;
    mutable qint64 m_offsetValidUntilMs = 0; // guarded by m_mutex, like the rest
    mutable int m_utcOffsetSecs = 0;
    QtMessageHandler m_previous = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(KxSaveLog::MsgTypes)
