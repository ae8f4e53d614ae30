#include "endpoints.h"

#include <QtGlobal>

namespace {
QString& replacedServer()
{
    static QString server = qEnvironmentVariable("PLEXA_SERVER");
    return server;
}

QString withoutTrailingSlash(QString text)
{
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}
} // namespace

QString Endpoints::server()
{
    const QString& s = replacedServer();
    return s.isEmpty() ? QStringLiteral("https://downloads.velmoplexa.com") : withoutTrailingSlash(s);
}

void Endpoints::setServer(const QString& schemeHostPort)
{
    replacedServer() = schemeHostPort;
}

QString Endpoints::downloadBaseUrl()
{
    return server() + QStringLiteral("/Download/");
}

QString Endpoints::appcastUrl()
{
    // The feed lives on its own host, apart from the download server.
    const QString& s = replacedServer();
    const QString host = s.isEmpty() ? QStringLiteral("https://updates.velmoplexa.com") : withoutTrailingSlash(s);
    return host + QStringLiteral("/Download/PlexaT/appcast.xml");
}

QString Endpoints::statisticsUrl()
{
    return server() + QStringLiteral("/write_data.php");
}

QString Endpoints::productPageBaseUrl()
{
    const QString& s = replacedServer();
    return s.isEmpty() ? QStringLiteral("https://www.velmoplexa.com") : withoutTrailingSlash(s);
}
