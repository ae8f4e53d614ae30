#ifndef REMOVABLEDRIVES_H
#define REMOVABLEDRIVES_H

#include <QString>
#include <QStringList>

// Lists the drive roots a USB flash drive (or a unit that shows itself as a drive) appears under:
// the mounted removable volumes the system reports, and folders registered at run time, which
// tests use as drives. Each path ends in "/". The firmware flows find a newly attached drive by
// comparing two of these lists.
class RemovableDriveLister
{
public:
    static QStringList drivePaths();
    static void registerDrive(const QString& path);
    static void unregisterDrive(const QString& path);
    static void clearRegisteredDrives();
    // Tests of a PC without removable drives leave out the machine's own (true restores them).
    static void setSystemDrivesListed(bool listed);
};

#endif // REMOVABLEDRIVES_H
