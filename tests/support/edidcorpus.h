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

// The real-monitor EDID corpus, with the catalogues to decode it by.
struct EdidCorpus : CatalogueContext
{
    QDir dir;
    QStringList files; // names of its .bin files, in name order

    EdidCorpus();
};

#endif // EDIDCORPUS_H
