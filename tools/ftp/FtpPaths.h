#pragma once
// Maps the paths a client names onto the server's root folder. Every path is resolved against the
// client's current directory, ".." never climbs above the root, and a path that reaches outside
// the root through a symbolic link is refused, so no command can touch anything outside it.
#include <QString>

class FtpPaths
{
public:
    explicit FtpPaths(const QString &root);

    bool isValid() const { return !m_canonicalRoot.isEmpty(); }
    QString root() const { return m_root; }

    // The virtual path ("/a/b") of `arg` seen from the virtual directory `cwd`; empty when the
    // name holds characters no file name may hold (NUL, CR, LF).
    static QString normalise(const QString &cwd, const QString &arg);

    // The local path of a virtual path whose target must exist inside the root; empty otherwise.
    QString existing(const QString &virtualPath) const;
    // The local path of a virtual path whose parent folder exists inside the root and whose last
    // component may not exist yet; empty when the parent is outside or missing, or when the path
    // is the root itself.
    QString creatable(const QString &virtualPath) const;
    // The virtual path of a local path inside the root.
    QString toVirtual(const QString &localPath) const;

private:
    bool inside(const QString &canonicalPath) const;
    QString local(const QString &virtualPath) const;

    QString m_root;
    QString m_canonicalRoot;
};
