#ifndef MONITOREDIDS_H
#define MONITOREDIDS_H

#include "edidentry.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The EDIDs of the monitors attached to the PC. On Linux the kernel publishes them: every
// connector folder card<N>-<connector> under the DRM class folder has a "status" file and an
// "edid" file (read by Platform::connectedDrmConnectors). Where the NVIDIA display driver
// interface is installed, the driver's own copies are read as well (nvidiaDisplayEdids).
//
// Lists every connector whose status is "connected" and whose edid file holds an EDID (not
// empty, and accepted by edidInputError), in a stable order: by card number, then by connector
// name with numbers compared as numbers (card0-DP-2 before card0-DP-10).
//
// The driver's copies are merged in: for each kernel entry in order, the first driver entry equal
// to it (same monitor name, same bytes over the shorter of the two) is taken out of the driver
// list, and the longer of the two copies is listed (the driver's copy carries the extension block
// where the kernel's lacks it). Driver displays the kernel does not list are left out.
//
// Each entry is named after the EDID's monitor name descriptors (see edidMonitorName); a monitor
// without a name is "Default Monitor n", n counting the unnamed monitors of the list from 1.
QList<EdidEntry> connectedMonitorEdids(const QString& drmRoot = QStringLiteral("/sys/class/drm"));

// The displays the NVIDIA display driver interface lists, in its order, each with the EDID the
// driver reads for it: 256 bytes when byte 128 is the extension tag 0x02 and the second block sums
// to 0 modulo 256, else 128. Named by edidMonitorName, unnamed ones left empty. A display whose
// GPU, output or EDID the driver cannot give is left out. Empty where the driver interface cannot
// be loaded.
QList<EdidEntry> nvidiaDisplayEdids();

// The monitor name of an EDID: the 13 text bytes of every monitor name descriptor (tag 0xFC) among
// the four 18-byte descriptors of the base block, in order, each byte a Latin-1 character. Kept
// as stored (the line feed and padding blanks stay); empty when there is no name descriptor.
QString edidMonitorName(const QByteArray& edid);

#endif // MONITOREDIDS_H
