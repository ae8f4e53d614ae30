#include "resources.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace. Referring to the bundle also links in its
// static registration object, which unregisters the bundle when the process ends.
static void initBundle()
{
    Q_INIT_RESOURCE(resources);
}

void initPlexaResources()
{
    static const bool done = (initBundle(), true);
    Q_UNUSED(done);
}

QString plexaStyleSheet()
{
    initPlexaResources();
    QFile file(plexaStyleSheetPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}
