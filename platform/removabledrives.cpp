#include "removabledrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStorageInfo>

namespace {
QMutex registryMutex;
bool systemDrivesListed = true; // guarded by registryMutex
QStringList& registry()
{
    static QStringList drives;
    return drives;
}

QString asDrivePath(const QString& path)
{
    QString p = QDir::cleanPath(path);
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

// A block device is removable when the kernel says so for it or the disk it is a partition of,
// or when it sits behind a USB controller (many USB sticks report themselves as fixed disks).
bool isRemovableDevice(const QByteArray& device)
{
    if (!device.startsWith("/dev/"))
        return false;
    const QString name = QFileInfo(QString::fromLocal8Bit(device)).fileName();
    const QString node = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (node.isEmpty())
        return false;
    if (node.contains(QLatin1String("/usb")))
        return true;
    for (const QString& dir : {node, QFileInfo(node).path()}) {
        QFile flag(dir + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly) && flag.read(4).trimmed() == "1")
            return true;
    }
    return false;
}
} // namespace

QStringList RemovableDriveLister::drivePaths()
{
    QStringList paths;
    bool system = true;
    {
        QMutexLocker lock(&registryMutex);
        system = systemDrivesListed;
    }
    if (system) {
        const auto volumes = QStorageInfo::mountedVolumes();
        for (const QStorageInfo& volume : volumes) {
            if (volume.isValid() && volume.isReady() && !volume.isReadOnly() && isRemovableDevice(volume.device()))
                paths.append(asDrivePath(volume.rootPath()));
        }
    }
    QMutexLocker lock(&registryMutex);
    paths.append(registry());
    return paths;
}

void RemovableDriveLister::registerDrive(const QString& path)
{
    QMutexLocker lock(&registryMutex);
    const QString drive = asDrivePath(path);
    if (!registry().contains(drive))
        registry().append(drive);
}

void RemovableDriveLister::unregisterDrive(const QString& path)
{
    QMutexLocker lock(&registryMutex);
    registry().removeAll(asDrivePath(path));
}

void RemovableDriveLister::clearRegisteredDrives()
{
    QMutexLocker lock(&registryMutex);
    registry().clear();
}

void RemovableDriveLister::setSystemDrivesListed(bool listed)
{
    QMutexLocker lock(&registryMutex);
    systemDrivesListed = listed;
}
