#pragma once
// The vision side of a virtual camera: answers vision calls (login, solutions, run and test,
// resources, the resource package) from its store and runs workflows over the images its grab
// function takes. One instance per camera; calls arrive one at a time.
#include "VvStore.h"
#include "VvWorkflow.h"

struct VvRun;

#include <QImage>
#include <QJsonObject>
#include <functional>

class VvCamera
{
public:
    using Grab = std::function<QImage()>;
    // package: the folder of the resource package ("toolkit/", "zukit/") sent for "RESDAT";
    // storePath empty: nothing survives a restart.
    VvCamera(const QString &package, const QString &storePath, Grab grab = {});
    bool load(QString *error) { return m_store.load(error); }
    void setGrab(Grab grab) { m_grab = std::move(grab); }

    struct Answer
    {
        Answer(int s = 6, QJsonObject j = {}, QString l = {})
            : status(s), json(std::move(j)), log(std::move(l)) {}
        int status = 6;   // 6 done, 5 unknown call, 21 refused
        QJsonObject json;
        QString log;
        QList<QByteArray> results;  // payloads of vision result frames for the result links
        QList<QByteArray> sent;     // texts a result output sends as they stand (single-code frames)
    };
    Answer call(const QString &code, const QJsonObject &payload);

    static constexpr int kMaxSolutions = 16;
    static constexpr const char *kPassword = "719364";  // the "admin" account's password
    VvLimits limits() const { return m_limits; }
    enum Mode { Idle, Running, Testing };
    Mode mode() const { return m_mode; }

    // Started runs and tests repeat every intervalMs ("interval" of "RUNSTX"/"TSTSTX", bounded);
    // the host calls tick() on that beat while mode() is not Idle.
    static constexpr int kDefaultIntervalMs = 500;
    static constexpr int kMinIntervalMs = 100;
    static constexpr int kMaxIntervalMs = 60000;
    int intervalMs() const { return m_intervalMs; }
    Answer tick();
    // A test ends with the client that started it; a started run goes on.
    void endTest();
    // The image of a result frame is shrunk until its text fits this (bytes of base64).
    static constexpr int kMaxFrameImage = 300000;

private:
    Answer solutionCall(const QString &code, const QJsonObject &p);
    Answer runCall(const QString &code, const QJsonObject &p);
    Answer resourceCall(const QString &code, const QJsonObject &p);
    Answer package() const;
    Answer commit(const VvStore &before, Answer ok, const QString &log);
    QByteArray resultFrame(const VvRun &run, const VvWorkflow &flow, bool test, bool timed);
    VvRun runFlow(const VvWorkflow &flow, Answer *answer, bool test, bool timed);

    QString m_package;
    VvStore m_store;
    Grab m_grab;
    VvLimits m_limits;
    bool m_loggedIn = false;
    Mode m_mode = Idle;
    VvWorkflow m_started;  // the workflow a started run or test repeats
    int m_intervalMs = kDefaultIntervalMs;
    quint32 m_frameSeq = 0;  // vision result frames made
};
