#ifndef EDIDDECODEPARSE_H
#define EDIDDECODEPARSE_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// What Debian's edid-decode reports on the base block and the first extension, split into the
// parts tests compare. Every line is trimmed and its runs of blanks made single.
struct EdidDecodeReport
{
    bool ran = false;
    bool crashed = false; // edid-decode died on a signal: there is no report
    bool ctaDecoded = false;
    // Timings by where edid-decode found them: "est", "std", "dtd", "vic", "y420", "y420cap",
    // "hdmivic"; each entry is the timing's line followed by its front/sync/back lines.
    QMap<QString, QStringList> timings;
    // Lines of a section: "audio", "speaker", "vsdb", "hfvsdb", "colorimetry", "hdr",
    // "descriptors" (display descriptors other than the range limits), "ranges", and the other
    // sections under their own title ("0:Vendor & Product Identification:", "1:Revision: 3", ...).
    QMap<QString, QStringList> sections;
    QStringList failures; // messages of "edid-decode -c", without the block headings
    QStringList warnings;
};

EdidDecodeReport parseEdidDecode(const QString& text);

// How a run of edid-decode ended: with its report (whatever its exit code: "-c" exits 254 on
// conformity failures), crashed (killed by a signal, so what it printed is no report), or not
// at all (not found, or not finished in time).
enum class EdidDecodeRun { Finished, Crashed, Failed };
// Runs edid-decode with `options` on the file at `path` and puts what it printed in `output`.
EdidDecodeRun edidDecodeOutput(const QString& path, const QStringList& options, QString* output, int timeoutMs = 20000);
// Runs "edid-decode -s -L -c" on the bytes (through a temporary file); `raw` receives its output.
EdidDecodeReport runEdidDecode(const QByteArray& edid, QString* raw = nullptr);

#endif // EDIDDECODEPARSE_H
