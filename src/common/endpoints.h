#ifndef ENDPOINTS_H
#define ENDPOINTS_H

#include <QString>

// The program's own servers, in one place. Only the paths are fixed by the server side; the host
// can be replaced as a whole with PLEXA_SERVER (for example "http://127.0.0.1:8080") or
// Endpoints::setServer, which tests use to point every download and post at a local server.
class Endpoints
{
public:
    static QString server();                // "https://downloads.velmoplexa.com" unless replaced
    static void setServer(const QString& schemeHostPort);
    static QString downloadBaseUrl();       // server + "/Download/"
    static QString appcastUrl();            // update server + "/Download/PlexaT/appcast.xml"
    static QString statisticsUrl();         // server + "/write_data.php"
    static QString productPageBaseUrl();    // maker's web site, for product page links
};

#endif // ENDPOINTS_H
