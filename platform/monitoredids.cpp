#include "monitoredids.h"

#include "ediddecoder.h"
#include "edidfile.h"
#include "regularfile.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A connector file, or nothing when it is not a regular file of at most `limit` bytes (a FIFO
// in its place must not block the monitor list).
QByteArray readSmallFile(const QString& path, qint64 limit)
{
    return readRegularFile(path, limit).bytes;
}

// Orders connector names by card number, then by the rest with digit runs compared as numbers.
bool connectorLess(const QString& a, const QString& b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            int ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare the runs as numbers without converting (they may be long): drop leading
            // zeros, then the longer run is the larger number.
            QStringRef ra = a.midRef(i, ei - i), rb = b.midRef(j, ej - j);
            while (ra.size() > 1 && ra.at(0) == QLatin1Char('0'))
                ra = ra.mid(1);
            while (rb.size() > 1 && rb.at(0) == QLatin1Char('0'))
                rb = rb.mid(1);
            if (ra.size() != rb.size())
                return ra.size() < rb.size();
            if (const int c = ra.compare(rb))
                return c < 0;
            i = ei;
            j = ej;
        } else {
            if (a.at(i) != b.at(j))
                return a.at(i) < b.at(j);
            ++i;
            ++j;
        }
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // equal up to leading zeros: keep a strict order
}

} // namespace

QString edidMonitorName(const QByteArray& edid)
{
    QString name;
    for (int p = 54; p <= 108 && p + 18 <= edid.size(); p += 18) {
        if (edid.at(p) == 0 && edid.at(p + 1) == 0 && edid.at(p + 2) == 0 && quint8(edid.at(p + 3)) == 0xFC)
            name += QString::fromLatin1(edid.constData() + p + 5, 13);
    }
    return name;
}

QList<EdidEntry> connectedMonitorEdids(const QString& drmRoot)
{
    static const QRegularExpression connectorName(QStringLiteral("^card\\d+-.+$"));
    const QDir root(drmRoot);
    QStringList connectors;
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (connectorName.match(name).hasMatch())
            connectors << name;
    }
    std::sort(connectors.begin(), connectors.end(), connectorLess);

    QList<EdidEntry> result;
    int unnamed = 0;
    for (const QString& connector : connectors) {
        const QString folder = root.filePath(connector);
        const QByteArray status = readSmallFile(folder + QStringLiteral("/status"), 64).trimmed();
        if (status != "connected")
            continue;
        const QByteArray edid = readSmallFile(folder + QStringLiteral("/edid"), MaxEdidBytes);
        if (edid.isEmpty() || !edidInputError(edid).isEmpty())
            continue;
        EdidEntry entry;
        entry.name = edidMonitorName(edid);
        if (entry.name.trimmed().isEmpty())
            entry.name = QStringLiteral("Default Monitor %1").arg(++unnamed);
        entry.edid = edid;
        result.append(entry);
    }
    return result;
}
