#ifndef APPLICATIONXML_H
#define APPLICATIONXML_H

#include <QByteArray>
#include <QString>

// Rules for the application XML, the small file on the download server that names the newest
// released version of the program.
namespace ApplicationXml {

// The "version" attribute of the first "VelmoPlexaT" element, or an empty text (also when the
// text is not a whole XML document).
QString offeredVersion(const QString& xml);

// True when `offered` has exactly three "."-separated parts and is newer than major.minor.patch.
// A part that is not a number counts as 0.
bool isNewer(const QString& offered, int major, int minor, int patch);

// The part of a downloaded body that the redirect test looks at: its first 51 lines, joined
// without line ends.
QString redirectHead(const QByteArray& body);

// A web server's redirect page (a frame set that links on) rather than the file itself.
bool isRedirectPage(const QString& head);

// The address a redirect page links to, a plain-http address upgraded to https; empty when the
// link is not an absolute http or https address.
QString redirectLink(const QString& head);

} // namespace ApplicationXml

#endif // APPLICATIONXML_H
