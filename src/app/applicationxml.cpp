#include "applicationxml.h"
#include "smalldownload.h"

#include <QDomDocument>
#include <QStringList>
#include <QUrl>

namespace ApplicationXml {

QString offeredVersion(const QString& xml)
{
    // A document that does not parse whole names nothing: a cut-off download still holds the
    // element it was cut after.
    QDomDocument doc;
    if (!doc.setContent(xml))
        return QString();
    const QDomNodeList nodes = doc.elementsByTagName(QStringLiteral("VelmoPlexaT"));
    return nodes.isEmpty() ? QString() : nodes.at(0).toElement().attribute(QStringLiteral("version"));
}

bool isNewer(const QString& offered, int major, int minor, int patch)
{
    const QStringList parts = offered.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return false;
    const int a = parts.at(0).toInt();
    const int b = parts.at(1).toInt();
    const int c = parts.at(2).toInt();
    return a > major || (a == major && b > minor) || (a == major && b == minor && c > patch);
}

QString redirectHead(const QByteArray& body)
{
    QString head;
    const QList<QByteArray> lines = body.split('\n');
    for (int i = 0; i < lines.size() && i < 51; ++i)
        head += QString::fromUtf8(lines.at(i)).remove(QLatin1Char('\r'));
    return head;
}

bool isRedirectPage(const QString& head)
{
    return head.contains(QLatin1String("<a href=")) && head.contains(QLatin1String("<frame"))
        && head.contains(QLatin1String("</html>"));
}

QString redirectLink(const QString& head)
{
    const int marker = head.indexOf(QLatin1String("<a href="));
    if (marker < 0)
        return QString();
    const int start = marker + 9; // the marker and the opening quote
    const int end = head.indexOf(QLatin1Char('"'), start);
    QString link = end < 0 ? head.mid(start) : head.mid(start, end - start);
    // Only a scheme that is exactly "http" is upgraded; an https link stays as it is.
    if (link.startsWith(QLatin1String("http://")))
        link.insert(4, QLatin1Char('s'));
    // Anything but a web address (a local file, a device, a relative path) is not followed.
    return Platform::SmallDownload::isWebAddress(QUrl(link)) ? link : QString();
}

} // namespace ApplicationXml
