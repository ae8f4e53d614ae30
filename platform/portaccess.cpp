#include "portaccess.h"

#include <QFile>
#include <QMutex>
#include <QSerialPort>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PortAccess {

namespace {

// The group a user must join to open a serial node: the node's own group, unless that tells
// nothing (root, unknown); Debian and Ubuntu give serial adapters to "dialout".
QString serialGroup(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && info.st_gid != 0) {
        struct group entry;
        struct group* found = nullptr;
        char buffer[1024];
        if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->gr_name
            && found->gr_name[0] != '\0')
            return QString::fromLocal8Bit(found->gr_name);
    }
#else
    Q_UNUSED(path)
#endif
    return QStringLiteral("dialout");
}

QMutex notedMutex;
QString noted[3]; // by Kind

} // namespace

QString hint(Kind kind, const QString& path, int error)
{
    if (error != EACCES && error != EPERM)
        return QString();
    if (kind == Kind::Serial) {
        const QString group = serialGroup(path);
        return QStringLiteral("Permission denied: add your user to the \"%1\" group (sudo usermod -aG %1 $USER) "
                              "and log in again.")
            .arg(group);
    }
    return QStringLiteral("Permission denied: install the udev rules shipped with the program (see README) and "
                          "plug the unit in again.");
}

int accessError(const QString& path)
{
#ifdef Q_OS_UNIX
    if (path.isEmpty())
        return ENOENT;
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0)
        return 0;
    return errno;
#else
    Q_UNUSED(path)
    return 0;
#endif
}

QString serialHint(const QSerialPort& port)
{
    // QSerialPort calls a port another process locked a permission error as well; only the
    // node's own access rights tell the two apart.
    if (port.error() != QSerialPort::PermissionError)
        return QString();
    QString path = port.portName();
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1String("/dev/")); // as the port itself resolves a bare name
    return hint(Kind::Serial, path, accessError(path));
}

QString hidHint(const QByteArray& path)
{
    const QString node = QFile::decodeName(path);
    return hint(Kind::Hid, node, accessError(node));
}

QString usbHint(const QByteArray& bus, const QByteArray& device)
{
    // libusb opens /dev/bus/usb/BBB/DDD; the names of the walk are those numbers.
    const QString node = QStringLiteral("/dev/bus/usb/%1/%2").arg(QString::fromLatin1(bus), QString::fromLatin1(device));
    return hint(Kind::Usb, node, accessError(node));
}

QString withHint(const QString& message, const QString& hint)
{
    if (hint.isEmpty())
        return message;
    if (message.isEmpty())
        return hint;
    return message + QLatin1Char(' ') + hint;
}

QString explained(const QString& message, const QSerialPort& port)
{
    return withHint(message, serialHint(port));
}

void noteDenial(Kind kind, const QString& hint)
{
    QMutexLocker lock(&notedMutex);
    noted[int(kind)] = hint;
}

QString lastDenial(Kind kind)
{
    QMutexLocker lock(&notedMutex);
    return noted[int(kind)];
}

QString explainedDenial(Kind kind, const QString& message)
{
    QMutexLocker lock(&notedMutex);
    const QString hint = noted[int(kind)];
    noted[int(kind)].clear();
    return withHint(message, hint);
}

} // namespace PortAccess
