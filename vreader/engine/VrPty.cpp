#include "VrPty.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

VrPty::VrPty(QObject *parent) : QObject(parent) {}

VrPty::~VrPty()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool VrPty::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = QStringLiteral("pseudo-terminal has no name");
        return false;
    }
    m_path = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios t;
        if (::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::cfsetspeed(&t, B115200);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &VrPty::onReadable);
    return true;
}

void VrPty::onReadable()
{
    char buf[4096];
    for (int round = 0; round < 64; ++round) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        if (!m_paused)
            emit received(QByteArray(buf, int(n)));
    }
}

void VrPty::write(const QByteArray &bytes)
{
    qint64 done = 0;
    int stalls = 0;
    while (done < bytes.size() && stalls < 200) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            stalls = 0;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        } else {
            ++stalls;
            ::usleep(1000);  // nobody reads the far end yet: give it a moment, not forever
        }
    }
}
