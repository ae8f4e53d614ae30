#include "monitoredids.h"

#include "drmconnectors.h"
#include "ediddecoder.h"
#include "edidfile.h"

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
    QList<EdidEntry> result;
    int unnamed = 0;
    for (const Platform::DrmConnector& connector : Platform::connectedDrmConnectors(drmRoot, MaxEdidBytes)) {
        const QByteArray& edid = connector.edid;
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
