#include "appcast.h"
#include "smalldownload.h"

#include <QDebug>
#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>

namespace Platform {

namespace {
const char* const sparkleNs = "http://www.andymatuschak.org/xml-namespaces/sparkle";
}

Appcast::Appcast(QObject* parent)
    : QObject(parent)
{
}

Appcast* Appcast::instance()
{
    static Appcast appcast;
    return &appcast;
}

void Appcast::setAppcastUrl(const QString& url)
{
    m_url = url;
}

void Appcast::setAppDetails(const QString& company, const QString& application, const QString& version)
{
    m_company = company;
    m_application = application;
    m_version = version;
}

void Appcast::checkUpdateWithoutUi()
{
    if (m_url.isEmpty()) {
        qDebug() << "Appcast check: no feed address set";
        emit checkFinished(false);
        return;
    }
    const QUrl url(m_url);
    if (!SmallDownload::isWebAddress(url)) {
        qDebug() << "Appcast check: the feed address is not a web address:" << m_url;
        emit checkFinished(false);
        return;
    }
    // The request goes out once the event loop runs: the network stack's first use would otherwise
    // hold up whatever called, at start-up the main window's first paint.
    QTimer::singleShot(0, this, [this, url] { fetch(url); });
}

void Appcast::fetch(const QUrl& url)
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("%1/%2").arg(m_application, m_version));
    SmallDownload::limitRequest(request);
    QNetworkReply* reply = m_network->get(request);
    SmallDownload::watch(reply);
    // The feed is read whole when it ends; until then only its size is watched.
    connect(reply, &QNetworkReply::readyRead, this, [reply] { SmallDownload::abortIfTooLarge(reply, 0); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

void Appcast::finished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "Appcast check not available:" << reply->errorString();
        emit checkFinished(false);
        return;
    }
    const QString newest = newestVersion(reply->readAll());
    if (newest.isEmpty()) {
        qDebug() << "Appcast check: the feed names no version";
        emit checkFinished(false);
        return;
    }
    if (compareVersions(newest, m_version) > 0)
        emit updateAvailable(newest);
    emit checkFinished(true);
}

QString Appcast::newestVersion(const QByteArray& feed)
{
    QDomDocument doc;
    if (!doc.setContent(feed, true))
        return QString();
    QString newest;
    auto consider = [&newest](const QString& v) {
        const QString version = v.trimmed();
        if (!version.isEmpty() && (newest.isEmpty() || compareVersions(version, newest) > 0))
            newest = version;
    };
    const QDomNodeList items = doc.elementsByTagName(QStringLiteral("item"));
    for (int i = 0; i < items.count(); ++i) {
        const QDomElement item = items.at(i).toElement();
        const QDomNodeList versions = item.elementsByTagNameNS(QLatin1String(sparkleNs), QStringLiteral("version"));
        for (int j = 0; j < versions.count(); ++j)
            consider(versions.at(j).toElement().text());
        const QDomNodeList enclosures = item.elementsByTagName(QStringLiteral("enclosure"));
        for (int j = 0; j < enclosures.count(); ++j)
            consider(enclosures.at(j).toElement().attributeNS(QLatin1String(sparkleNs), QStringLiteral("version")));
    }
    return newest;
}

int Appcast::compareVersions(const QString& a, const QString& b)
{
    const QStringList pa = a.split(QLatin1Char('.'));
    const QStringList pb = b.split(QLatin1Char('.'));
    for (int i = 0; i < qMax(pa.size(), pb.size()); ++i) {
        const int x = i < pa.size() ? pa.at(i).toInt() : 0;
        const int y = i < pb.size() ? pb.at(i).toInt() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace Platform
