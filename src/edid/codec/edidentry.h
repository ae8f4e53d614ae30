#ifndef EDIDENTRY_H
#define EDIDENTRY_H

#include <QByteArray>
#include <QString>

// One EDID of a monitor attached to the PC: the name shown in the monitor drop-down and the bytes.
struct EdidEntry
{
    QString name;
    QByteArray edid;
};

#endif // EDIDENTRY_H
