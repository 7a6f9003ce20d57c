#include "VcSceneSource.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

VcSceneSource::VcSceneSource(const VcScene &scene, QObject *parent) : QObject(parent), m_scene(scene)
{
    m_age.start();
}

VcSceneSource::VcSceneSource(const QString &path, QObject *parent)
    : QObject(parent), m_path(QFileInfo(path).absoluteFilePath())
{
    m_age.start();
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &VcSceneSource::check);
    // Editors and tests replace the file instead of writing it: the watcher loses a replaced
    // file, so a slow poll catches what it misses.
    m_poll = new QTimer(this);
    m_poll->setInterval(500);
    connect(m_poll, &QTimer::timeout, this, &VcSceneSource::check);
    m_poll->start();
}

bool VcSceneSource::load(QStringList *errors)
{
    if (m_path.isEmpty())
        return true;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        *errors << QStringLiteral("cannot read scene file %1").arg(m_path);
        return false;
    }
    const QByteArray bytes = f.readAll();
    m_lastBytes = bytes;
    if (!m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
    VcScene scene;
    QStringList problems;
    if (!VcScenes::parse(bytes, QFileInfo(m_path).absolutePath(), &scene, &problems)) {
        for (const QString &p : problems)
            *errors << QStringLiteral("%1: %2").arg(m_path, p);
        return false;
    }
    m_scene = scene;
    m_age.restart();
    ++m_generation;
    return true;
}

void VcSceneSource::check()
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;  // being replaced; the next poll sees the new file
    const QByteArray bytes = f.readAll();
    if (!m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
    if (bytes == m_lastBytes)
        return;
    m_lastBytes = bytes;
    VcScene scene;
    QStringList problems;
    if (!VcScenes::parse(bytes, QFileInfo(m_path).absolutePath(), &scene, &problems)) {
        emit problem(QStringLiteral("scene %1 not used: %2").arg(m_path, problems.join(QStringLiteral("; "))));
        return;
    }
    m_scene = scene;
    m_age.restart();
    ++m_generation;
    emit changed();
}
