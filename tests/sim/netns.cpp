#include "netns.h"

#include <QDir>
#include <QProcess>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

namespace {

bool run(const QStringList& arguments, QString* error)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), arguments);
    if (!ip.waitForStarted(5000)) {
        if (error)
            *error = QStringLiteral("cannot run ip: %1").arg(ip.errorString());
        return false;
    }
    ip.waitForFinished(10000);
    if (ip.exitStatus() != QProcess::NormalExit || ip.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("ip %1: %2").arg(arguments.join(QLatin1Char(' ')),
                                                      QString::fromLocal8Bit(ip.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

// Names left behind by test processes that died between creating and unnaming their namespaces.
void removeStaleNames()
{
    const QStringList names = QDir(QStringLiteral("/run/netns")).entryList({QStringLiteral("plexa-disc-*")}, QDir::Files);
    for (const QString& name : names) {
        const int pid = name.section(QLatin1Char('-'), 2, 2).toInt();
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            run({QStringLiteral("netns"), QStringLiteral("del"), name}, nullptr);
    }
}

} // namespace

VethNamespacePair::~VethNamespacePair()
{
    if (m_hostFd >= 0)
        ::close(m_hostFd);
    if (m_simFd >= 0)
        ::close(m_simFd);
}

bool VethNamespacePair::create(QString* error)
{
    if (isValid())
        return true;
    if (::geteuid() != 0) {
        if (error)
            *error = QStringLiteral("creating network namespaces needs root");
        return false;
    }
    removeStaleNames();

    static int serial = 0;
    const QString base = QStringLiteral("plexa-disc-%1-%2").arg(::getpid()).arg(++serial);
    const QString host = base + QStringLiteral("-h");
    const QString sim = base + QStringLiteral("-s");
    const QString netns = QStringLiteral("netns");
    if (!run({netns, QStringLiteral("add"), host}, error))
        return false;
    if (!run({netns, QStringLiteral("add"), sim}, error)) {
        run({netns, QStringLiteral("del"), host}, nullptr);
        return false;
    }

    const QString hostIf = hostInterface();
    const QString simIf = QStringLiteral("pxs0");
    auto side = [&](const QString& ns, const QString& dev, const QString& address) {
        return run({QStringLiteral("-n"), ns, QStringLiteral("addr"), QStringLiteral("add"), address + QStringLiteral("/24"),
                    QStringLiteral("dev"), dev},
                   error)
            && run({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                    QStringLiteral("up")},
                   error)
            && run({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), dev, QStringLiteral("up")},
                   error)
            && run({QStringLiteral("-n"), ns, QStringLiteral("route"), QStringLiteral("add"),
                    QStringLiteral("255.255.255.255/32"), QStringLiteral("dev"), dev},
                   error)
            && run({QStringLiteral("-n"), ns, QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("224.0.0.0/4"),
                    QStringLiteral("dev"), dev},
                   error);
    };
    bool ok = run({QStringLiteral("-n"), host, QStringLiteral("link"), QStringLiteral("add"), hostIf,
                   QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), simIf,
                   netns, sim},
                  error)
        && side(host, hostIf, hostAddress()) && side(sim, simIf, simAddress());
    if (ok) {
        m_hostFd = ::open(QByteArray("/run/netns/" + host.toLatin1()).constData(), O_RDONLY | O_CLOEXEC);
        m_simFd = ::open(QByteArray("/run/netns/" + sim.toLatin1()).constData(), O_RDONLY | O_CLOEXEC);
        if (!isValid()) {
            ok = false;
            if (error)
                *error = QStringLiteral("cannot open the namespaces: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        }
    }
    // From here on only our descriptors keep the namespaces (and the veth pair) alive.
    run({netns, QStringLiteral("del"), host}, nullptr);
    run({netns, QStringLiteral("del"), sim}, nullptr);
    if (!ok) {
        if (m_hostFd >= 0)
            ::close(m_hostFd);
        if (m_simFd >= 0)
            ::close(m_simFd);
        m_hostFd = m_simFd = -1;
    }
    return ok;
}

bool VethNamespacePair::enter(int namespaceFd, QString* error)
{
    if (::setns(namespaceFd, CLONE_NEWNET) == 0)
        return true;
    if (error)
        *error = QStringLiteral("setns: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    return false;
}

NamespaceScope::NamespaceScope(int namespaceFd)
{
    m_previousFd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    m_entered = m_previousFd >= 0 && VethNamespacePair::enter(namespaceFd);
}

NamespaceScope::~NamespaceScope()
{
    if (m_entered)
        VethNamespacePair::enter(m_previousFd);
    if (m_previousFd >= 0)
        ::close(m_previousFd);
}
