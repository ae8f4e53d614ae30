#include "ediddecodeparse.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

namespace {

QString simplified(const QString& line)
{
    return line.simplified();
}

QString sectionKey(int block, const QString& title)
{
    if (title.startsWith(QLatin1String("Audio Data Block")))
        return QStringLiteral("audio");
    if (title.startsWith(QLatin1String("Speaker Allocation Data Block")))
        return QStringLiteral("speaker");
    if (title.startsWith(QLatin1String("Vendor-Specific Data Block (HDMI),")))
        return QStringLiteral("vsdb");
    if (title.startsWith(QLatin1String("Vendor-Specific Data Block (HDMI Forum)")))
        return QStringLiteral("hfvsdb");
    if (title.startsWith(QLatin1String("Colorimetry Data Block")))
        return QStringLiteral("colorimetry");
    if (title.startsWith(QLatin1String("HDR Static Metadata Data Block")))
        return QStringLiteral("hdr");
    if (title.startsWith(QLatin1String("Detailed Timing Descriptors")))
        return QStringLiteral("descriptors");
    return QString::number(block) + QLatin1Char(':') + title;
}

QString timingKind(int block, const QString& title, const QString& label)
{
    if (label.startsWith(QLatin1String("HDMI VIC")))
        return QStringLiteral("hdmivic");
    if (block == 0 && title.startsWith(QLatin1String("Established Timings I")))
        return QStringLiteral("est");
    if (block == 0 && title.startsWith(QLatin1String("Standard Timings")))
        return QStringLiteral("std");
    if (label.startsWith(QLatin1String("DTD")))
        return QStringLiteral("dtd");
    if (title.startsWith(QLatin1String("Video Data Block")))
        return QStringLiteral("vic");
    if (title.startsWith(QLatin1String("YCbCr 4:2:0 Video Data Block")))
        return QStringLiteral("y420");
    if (title.startsWith(QLatin1String("YCbCr 4:2:0 Capability Map")))
        return QStringLiteral("y420cap");
    return QStringLiteral("other");
}

} // namespace

EdidDecodeReport parseEdidDecode(const QString& text)
{
    static const QRegularExpression head(
        QStringLiteral("^(.*?):\\s+(\\d+)x(\\d+)(i?)\\s+[\\d.]+ Hz\\s+\\S+\\s+[\\d.]+ kHz\\s+[\\d.]+ MHz"));
    EdidDecodeReport r;
    r.ran = !text.isEmpty();
    int block = -1;
    enum { Decode, Failures, Warnings } mode = Decode;
    QString title, sub;
    QStringList* entry = nullptr;
    int entryIndex = -1;
    QString entryKind;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.isEmpty())
            continue;
        if (t == QLatin1String("Failures:")) {
            mode = Failures;
            continue;
        }
        if (t == QLatin1String("Warnings:")) {
            mode = Warnings;
            continue;
        }
        if (t.startsWith(QLatin1String("EDID conformity")))
            break;
        if (mode != Decode) {
            if (!line.startsWith(QLatin1Char(' ')))
                continue; // "Block 1, CTA-861 Extension Block:" and the like
            (mode == Failures ? r.failures : r.warnings).append(simplified(t));
            continue;
        }
        if (line.startsWith(QLatin1String("Block "))) {
            block = line.mid(6, line.indexOf(QLatin1Char(',')) - 6).toInt();
            if (block == 1)
                r.ctaDecoded = line.contains(QLatin1String("CTA-861"));
            title.clear();
            continue;
        }
        if (block < 0 || block > 1)
            continue;
        int lead = 0;
        while (lead < line.size() && line.at(lead) == QLatin1Char(' '))
            ++lead;
        if (lead == 0)
            continue; // "Checksum: ...", separators
        if (lead == 2) {
            title = t;
            sub.clear();
            entry = nullptr;
            if (!t.endsWith(QLatin1Char(':')))
                r.sections[QString::number(block) + QStringLiteral(":flags")].append(simplified(t));
            continue;
        }
        if (entry && (t.startsWith(QLatin1String("Hfront")) || t.startsWith(QLatin1String("Vfront")))) {
            (*entry)[entryIndex] += QStringLiteral(" | ") + simplified(t);
            continue;
        }
        const auto m = head.match(t);
        if (m.hasMatch()) {
            entryKind = timingKind(block, title, m.captured(1));
            entry = &r.timings[entryKind];
            entry->append(simplified(t));
            entryIndex = entry->size() - 1;
            continue;
        }
        entry = nullptr;
        const QString key = sectionKey(block, title);
        if (key == QLatin1String("descriptors")) {
            if (lead == 4)
                sub = t;
            if (sub.startsWith(QLatin1String("Display Range Limits"))) {
                r.sections[QStringLiteral("ranges")].append(simplified(t));
                continue;
            }
            if (sub.startsWith(QLatin1String("Dummy Descriptor")))
                continue;
        }
        r.sections[key].append(simplified(t));
    }
    return r;
}

EdidDecodeRun edidDecodeOutput(const QString& path, const QStringList& options, QString* output, int timeoutMs)
{
    QProcess peer;
    peer.start(QStringLiteral("edid-decode"), QStringList(options) << path);
    const bool finished = peer.waitForFinished(timeoutMs);
    if (peer.exitStatus() == QProcess::CrashExit && peer.error() == QProcess::Crashed)
        return EdidDecodeRun::Crashed;
    if (!finished)
        return EdidDecodeRun::Failed;
    *output = QString::fromUtf8(peer.readAllStandardOutput());
    return EdidDecodeRun::Finished;
}

EdidDecodeReport runEdidDecode(const QByteArray& edid, QString* raw)
{
    QTemporaryFile file;
    if (!file.open())
        return EdidDecodeReport();
    file.write(edid);
    file.flush();
    QString text;
    const EdidDecodeRun run =
        edidDecodeOutput(file.fileName(), {QStringLiteral("-s"), QStringLiteral("-L"), QStringLiteral("-c")}, &text);
    if (run != EdidDecodeRun::Finished) {
        EdidDecodeReport r;
        r.crashed = run == EdidDecodeRun::Crashed;
        return r;
    }
    if (raw)
        *raw = text;
    return parseEdidDecode(text);
}
