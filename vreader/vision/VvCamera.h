#pragma once
// The vision side of a virtual camera: answers vision calls (login, solutions, run and test,
// resources, the resource package) from its store and runs workflows over the images its grab
// function takes. One instance per camera; calls arrive one at a time.
#include "VvStore.h"
#include "VvWorkflow.h"

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
        int status = 6;   // 6 done, 5 unknown call, 21 refused
        QJsonObject json;
        QString log;
    };
    Answer call(const QString &code, const QJsonObject &payload);

    static constexpr int kMaxSolutions = 16;
    static constexpr const char *kPassword = "719364";  // the "admin" account's password
    VvLimits limits() const { return m_limits; }
    enum Mode { Idle, Running, Testing };
    Mode mode() const { return m_mode; }

private:
    Answer solutionCall(const QString &code, const QJsonObject &p);
    Answer runCall(const QString &code, const QJsonObject &p);
    Answer resourceCall(const QString &code, const QJsonObject &p);
    Answer package() const;
    Answer commit(const VvStore &before, Answer ok, const QString &log);

    QString m_package;
    VvStore m_store;
    Grab m_grab;
    VvLimits m_limits;
    bool m_loggedIn = false;
    Mode m_mode = Idle;
};
