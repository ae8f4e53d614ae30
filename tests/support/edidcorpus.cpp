#include "edidcorpus.h"
#include "plexatest.h"

CatalogueContext::CatalogueContext()
{
    timingsLoaded = loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &timings);
    audioLoaded = loadAudioCatalogue(QStringLiteral(":/catalogues/audio.xml"), &audio);
    context.timings = &timings;
    context.audio = &audio;
}

EdidCorpus::EdidCorpus()
{
    const QString other = qEnvironmentVariable("PLEXA_EDID_CORPUS");
    shared = other.isEmpty();
    dir = QDir(shared ? PlexaTest::edidCorpusDir() : other);
    files = dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
}
