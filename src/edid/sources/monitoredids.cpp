#include "monitoredids.h"

#include "driverdisplays.h"
#include "drmconnectors.h"
#include "ediddecoder.h"
#include "edidfile.h"

#include <algorithm>

namespace {

// The most displays asked of the driver in one run.
constexpr int MaxDriverDisplays = 128;

// The length of the EDID in a 256-byte driver buffer: the extension block counts only when it is
// a CTA-861 extension with a good checksum (byte 126 of the base block is not trusted).
int driverEdidLength(const QByteArray& buffer)
{
    if (quint8(buffer.at(128)) != 0x02)
        return 128;
    quint8 sum = 0;
    for (int i = 128; i < 256; ++i)
        sum = quint8(sum + quint8(buffer.at(i)));
    return sum == 0 ? 256 : 128;
}

// The same monitor: the same name and the same bytes as far as the shorter EDID goes.
bool sameMonitor(const EdidEntry& a, const EdidEntry& b)
{
    const int n = qMin(a.edid.size(), b.edid.size());
    return a.name == b.name && a.edid.left(n) == b.edid.left(n);
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

QList<EdidEntry> nvidiaDisplayEdids()
{
    using namespace GpuQuery;
    QList<EdidEntry> result;
    NvDisplayHandle displays[MaxDriverDisplays] = {};
    int count = 0;
    while (count < MaxDriverDisplays && NvAPI_EnumNvidiaDisplayHandle(quint32(count), &displays[count]) == StatusOk)
        ++count;
    for (int i = 0; i < count; ++i) {
        NvPhysicalGpuHandle gpus[MaxPhysicalGpus] = {};
        quint32 gpuCount = 0;
        quint32 outputId = 0;
        EdidRecordV3 record;
        // A display whose readout fails would only give 128 zero bytes: it is left out.
        if (NvAPI_GetPhysicalGPUsFromDisplay(displays[i], gpus, &gpuCount) != StatusOk || gpuCount == 0
            || NvAPI_GetAssociatedDisplayOutputId(displays[i], &outputId) != StatusOk
            || NvAPI_GPU_GetEDID(gpus[0], outputId, &record) != StatusOk)
            continue;
        const QByteArray buffer(reinterpret_cast<const char*>(record.data), int(sizeof(record.data)));
        EdidEntry entry;
        entry.edid = buffer.left(driverEdidLength(buffer));
        entry.name = edidMonitorName(entry.edid);
        result.append(entry);
    }
    return result;
}

QList<EdidEntry> connectedMonitorEdids(const QString& drmRoot)
{
    QList<EdidEntry> driver = nvidiaDisplayEdids();
    QList<EdidEntry> result;
    for (const Platform::DrmConnector& connector : Platform::connectedDrmConnectors(drmRoot, MaxEdidBytes)) {
        if (connector.edid.isEmpty() || !edidInputError(connector.edid).isEmpty())
            continue;
        EdidEntry entry;
        entry.name = edidMonitorName(connector.edid);
        entry.edid = connector.edid;
        // Each driver copy stands for one monitor: two monitors of one model take one each.
        const auto copy = std::find_if(driver.begin(), driver.end(),
                                       [&entry](const EdidEntry& d) { return sameMonitor(d, entry); });
        if (copy != driver.end()) {
            if (copy->edid.size() > entry.edid.size())
                entry.edid = copy->edid;
            driver.erase(copy);
        }
        result.append(entry);
    }

    int unnamed = 0;
    for (EdidEntry& entry : result) {
        if (entry.name.trimmed().isEmpty())
            entry.name = QStringLiteral("Default Monitor %1").arg(++unnamed);
    }
    return result;
}
