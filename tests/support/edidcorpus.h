#ifndef EDIDCORPUS_H
#define EDIDCORPUS_H

#include "edidcatalogues.h"
#include "ediddecoder.h"

#include <QDir>
#include <QStringList>

// The program's timing and audio catalogues, loaded from its resources, and a decode context
// that names timings and audio formats by them (as the editor decodes). The context points into
// the object, so it is neither copied nor moved.
struct CatalogueContext
{
    TimingCatalogue timings;
    AudioCatalogue audio;
    EdidDecodeContext context;
    bool timingsLoaded = false;
    bool audioLoaded = false;

    CatalogueContext();
    CatalogueContext(const CatalogueContext&) = delete;
    CatalogueContext& operator=(const CatalogueContext&) = delete;
};

// A collection of EDID files, with the catalogues to decode it by: the shared corpus of real
// monitors, or the folder the environment variable PLEXA_EDID_CORPUS names (any collection of
// .bin files, checked the same way).
struct EdidCorpus : CatalogueContext
{
    QDir dir;
    QStringList files; // names of its .bin files, in name order
    bool shared = true; // the shared corpus (not a folder from the environment)

    EdidCorpus();
    // The fewest files a test over the corpus needs: `sharedMinimum` for the shared corpus
    // (fewer means it is missing or damaged), one for any other folder.
    int minimumFiles(int sharedMinimum) const { return shared ? sharedMinimum : 1; }
    // The first file of `size` bytes that a unit would take (edidTransferError); empty if none.
    QByteArray firstUnitEdid(int size) const;
};

#endif // EDIDCORPUS_H
