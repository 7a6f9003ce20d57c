#pragma once
// The scene a reader sees, from a scene file that is watched for changes or from the model's
// default. A changed file is picked up within a second; a broken one keeps the last good scene.
#include "VcScene.h"

#include <QElapsedTimer>
#include <QObject>

class QFileSystemWatcher;
class QTimer;

class VcSceneSource : public QObject
{
    Q_OBJECT
public:
    // A fixed scene (a model's default).
    explicit VcSceneSource(const VcScene &scene, QObject *parent = nullptr);
    // A scene file; false from load() with the problems when it cannot be used.
    explicit VcSceneSource(const QString &path, QObject *parent = nullptr);

    bool load(QStringList *errors);
    const VcScene &scene() const { return m_scene; }
    QString path() const { return m_path; }
    // Seconds since the current scene appeared (the conveyor's clock).
    double age() const { return m_age.elapsed() / 1000.0; }
    // Counts scene changes; a reader compares it to notice a new scene.
    int generation() const { return m_generation; }

signals:
    void changed();
    void problem(const QString &message);

private:
    void check();

    VcScene m_scene;
    QString m_path;
    QByteArray m_lastBytes;
    QElapsedTimer m_age;
    int m_generation = 0;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_poll = nullptr;
};
