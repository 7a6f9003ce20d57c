#pragma once
// A private home directory for a test process: download folder, native per-user settings and
// every other per-user location point below it, so tests never touch the real profile.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "KxConfig.h"

namespace settingstest {

inline QTemporaryDir &fakeHome()
{
    static QTemporaryDir home;
    return home;
}

// Must run before the application object exists (Qt reads the paths on first use).
inline void isolateHome()
{
    qputenv("HOME", fakeHome().path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("KX_DATA_PATH");
}

inline QString downloadPath()
{
    return fakeHome().path() + QStringLiteral("/Downloads");
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace settingstest

#define SETTINGS_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char **argv)                                                            \
    {                                                                                          \
        settingstest::isolateHome();                                                           \
        QGuiApplication app(argc, argv);                                                       \
        TestClass test;                                                                        \
        return QTest::qExec(&test, argc, argv);                                                \
    }
