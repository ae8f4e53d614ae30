#ifndef EDIDCATALOGUES_H
#define EDIDCATALOGUES_H

#include "audioformat.h"
#include "timing.h"

#include <QList>
#include <QSet>
#include <QString>

class QDomDocument;

// A named set of CIE 1931 coordinates.
struct Chromaticity
{
    QString name;
    double redX = 0, redY = 0;
    double greenX = 0, greenY = 0;
    double blueX = 0, blueY = 0;
    double whiteX = 0, whiteY = 0;
};

struct TimingCatalogue
{
    QList<Timing> timings;     // in file order
    QSet<QString> customNames; // names of the "Custom" entries; a new custom timing needs another
    // The distinct values of the entries, ascending, for the filter lists.
    QList<int> horizontalPixels;
    QList<int> verticalLines; // lines per frame: an interlaced entry counts 2 x vActive
    QList<int> refreshRates;
};

struct AudioCatalogue
{
    QList<AudioFormat> formats;
    QSet<QString> names;
};

struct ChromaticityCatalogue
{
    QList<Chromaticity> sets;
    QSet<QString> names;
};

// Where the catalogues live. The program ships "timings.xml", "audio.xml" and "chromaticity.xml"
// as resources under :/catalogues/; on first use each is copied into the per-user folder
// (~/VelmoPlexaT), where the custom entries of the dialogs are added, so they survive a restart
// and an update of the program.
namespace CatalogueFiles {
QString folder();
// The per-user copy of `fileName`, seeded from the shipped default when it does not exist yet.
// An existing copy is never replaced, even when it does not parse.
QString path(const QString& fileName);
// Reads and parses an XML file. On failure `error` says why, for the user.
bool readDocument(const QString& path, QDomDocument* document, QString* error);
// Writes the whole document (indentation 1) through a temporary file that replaces `path` only
// once it is complete, so a failed write leaves the old catalogue as it was.
bool writeDocument(const QString& path, const QDomDocument& document, QString* error);
} // namespace CatalogueFiles

// Loaders. Each fills `catalogue` from scratch; on failure the catalogue is left empty, `error`
// says why and the file is not touched.
bool loadTimingCatalogue(const QString& path, TimingCatalogue* catalogue, QString* error = nullptr);
bool loadAudioCatalogue(const QString& path, AudioCatalogue* catalogue, QString* error = nullptr);
bool loadChromaticityCatalogue(const QString& path, ChromaticityCatalogue* catalogue, QString* error = nullptr);

// Writers. Each appends one entry as the last child of the document element and rewrites the
// file; a missing file is started anew, a file that does not parse is left alone and refused.
bool appendTimingEntry(const QString& path, const Timing& timing, QString* error = nullptr);
bool appendAudioEntry(const QString& path, const AudioFormat& format, QString* error = nullptr);
bool appendChromaticityEntry(const QString& path, const Chromaticity& set, QString* error = nullptr);
// Removes the first set named `name` (none: the file is rewritten unchanged).
bool removeChromaticityEntry(const QString& path, const QString& name, QString* error = nullptr);

// The four filters of the timing pick list; "Any" lets everything through. A number filter
// that is not a number only lets entries with the value 0 through.
struct TimingFilter
{
    QString horizontalPixels = QStringLiteral("Any");
    QString verticalLines = QStringLiteral("Any");
    QString refreshRate = QStringLiteral("Any");
    QString scanType = QStringLiteral("Any"); // "Any", "Progressive" or "Interlaced"

    bool accepts(const Timing& t) const;
};

#endif // EDIDCATALOGUES_H
