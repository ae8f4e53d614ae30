#ifndef MONITOREDIDS_H
#define MONITOREDIDS_H

#include "edidentry.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The EDIDs of the monitors attached to the PC. On Linux the kernel publishes them: every
// connector folder card<N>-<connector> under the DRM class folder has a "status" file and an
// "edid" file (read by Platform::connectedDrmConnectors).
//
// Lists every connector whose status is "connected" and whose edid file holds an EDID (not
// empty, and accepted by edidInputError), in a stable order: by card number, then by connector
// name with numbers compared as numbers (card0-DP-2 before card0-DP-10). Each entry is named
// after the EDID's monitor name descriptors (see edidMonitorName); a monitor without a name is
// "Default Monitor n", n counting the unnamed monitors of the list from 1.
QList<EdidEntry> connectedMonitorEdids(const QString& drmRoot = QStringLiteral("/sys/class/drm"));

// The monitor name of an EDID: the 13 text bytes of every monitor name descriptor (tag 0xFC) among
// the four 18-byte descriptors of the base block, in order, each byte a Latin-1 character. Kept
// as stored (the line feed and padding blanks stay); empty when there is no name descriptor.
QString edidMonitorName(const QByteArray& edid);

#endif // MONITOREDIDS_H
