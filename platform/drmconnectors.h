#ifndef DRMCONNECTORS_H
#define DRMCONNECTORS_H

#include <QByteArray>
#include <QList>
#include <QString>

namespace Platform {

// A display connector the kernel reports as connected, with the raw bytes of its "edid" file.
struct DrmConnector
{
    QString name; // the connector folder's name, e.g. "card0-HDMI-A-1"
    QByteArray edid; // empty when the file is missing, not a regular file or larger than the limit
};

// Every connector folder card<N>-<connector> under `drmRoot` whose "status" file reads
// "connected", in a stable order: by card number, then by connector name with digit runs
// compared as numbers (card0-DP-2 before card0-DP-10). Only regular files are read, and no more
// than `edidLimit` bytes of an edid file, so a FIFO or a huge file in their place cannot block or
// swell the list.
QList<DrmConnector> connectedDrmConnectors(const QString& drmRoot, qint64 edidLimit);

} // namespace Platform

#endif // DRMCONNECTORS_H
