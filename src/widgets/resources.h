#ifndef RESOURCES_H
#define RESOURCES_H

#include <QString>

// The program's images and style sheet live in one resource bundle compiled into the static
// library. A static library's bundle is only linked in when something refers to it, so the entry
// point (and every test that needs ":/" paths) calls this first. Calling it again is harmless.
void initPlexaResources();

// Path of the application style sheet in the bundle.
inline QString plexaStyleSheetPath()
{
    return QStringLiteral(":/style/stylesheet.qss");
}

// The whole application style sheet as text; empty when the bundle cannot be read.
QString plexaStyleSheet();

#endif // RESOURCES_H
