#include "edidcorpus.h"
#include "ediddecoder.h"
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

QByteArray EdidCorpus::firstUnitEdid(int size) const
{
    for (const QString& name : files) {
        const QByteArray bytes = PlexaTest::readFile(dir.filePath(name));
        if (bytes.size() == size && edidTransferError(bytes).isEmpty())
            return bytes;
    }
    return {};
}
