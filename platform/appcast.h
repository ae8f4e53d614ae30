#ifndef APPCAST_H
#define APPCAST_H

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

namespace Platform {

// Silent check of the program's own update feed (an RSS appcast whose items carry a
// sparkle:version). Set the feed address and the program's details, then ask for the check:
// the feed is fetched with Qt network, the newest item's version is compared with the program's,
// and updateAvailable() is emitted when it is newer (the main window shows it to the user).
// Failures end in checkFinished(false) and a debug line; a feed that is not an http(s) address,
// too large or too slow (see SmallDownload) is a failure like any other.
class Appcast : public QObject
{
    Q_OBJECT

public:
    static Appcast* instance();

    void setAppcastUrl(const QString& url);
    void setAppDetails(const QString& company, const QString& application, const QString& version);
    void checkUpdateWithoutUi();

    // Newest version named in an appcast document; empty when it names none.
    static QString newestVersion(const QByteArray& feed);
    // <0, 0, >0 as a is older, equal or newer than b; dotted numbers, missing parts count as 0.
    static int compareVersions(const QString& a, const QString& b);

signals:
    void updateAvailable(const QString& version);
    void checkFinished(bool ok);

private:
    explicit Appcast(QObject* parent = nullptr);
    void fetch(const QUrl& url);
    void finished(QNetworkReply* reply);

    QNetworkAccessManager* m_network = nullptr;
    QString m_url;
    QString m_company;
    QString m_application;
    QString m_version;
};

} // namespace Platform

#endif // APPCAST_H
