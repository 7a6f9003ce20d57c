#pragma once
// Installs an installer archive: checks it, unpacks it into a fresh folder beside the
// installation and only then swaps the folders, keeping the previous installation as
// "<installation>.previous". On any failure the installation is left as it was.
#include <QString>

class KxInstaller
{
public:
    KxInstaller(const QString &archive, const QString &installDir);

    // Entries, an executable "brevan" at the top (or in the archive's one top folder), no
    // names that leave the folder. Empty when the archive is fine, else what is wrong.
    QString check() const;
    // Unpacks and switches; false with error() set when the old installation stays.
    bool run();
    QString error() const { return m_error; }
    QString previousDir() const { return m_installDir + QStringLiteral(".previous"); }

private:
    bool unpack(const QString &target);

    QString m_archive;
    QString m_installDir;
    QString m_error;
};
