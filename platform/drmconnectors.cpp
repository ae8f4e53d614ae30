#include "drmconnectors.h"

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

namespace Platform {

QList<DrmConnector> connectedDrmConnectors(const QString& drmRoot, qint64 edidLimit)
{
    static const QRegularExpression connectorName(QStringLiteral("^card\\d+-.+$"));
    const QDir root(drmRoot);
    QStringList names;
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (connectorName.match(name).hasMatch())
            names << name;
    }
    std::sort(names.begin(), names.end(), connectorLess);

    QList<DrmConnector> result;
    for (const QString& name : names) {
        const QString folder = root.filePath(name);
        if (readSmallFile(folder + QStringLiteral("/status"), 64).trimmed() != "connected")
            continue;
        result.append({name, readSmallFile(folder + QStringLiteral("/edid"), edidLimit)});
    }
    return result;
}

} // namespace Platform
