// Start-up check for a newer version of the program: the application XML download and the
// appcast feed.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "appcast.h"
#include "regularfile.h"
#include "smalldownload.h"
#include "constants.h"
#include "applicationxml.h"
#include "dialogs.h"
#include "endpoints.h"
#include "updatetabcontrol.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

namespace {
// A captive portal or a moved server answers with a page that links on; follow a few of them.
const int maxRedirectPages = 3;

// Both checks, the application XML and the appcast feed, can find the same release: the user is
// told once.
void warnNewerVersion(QWidget* parent, bool& alreadyShown)
{
    if (alreadyShown)
        return;
    alreadyShown = true;
    Dialogs::warning(parent, QStringLiteral("Update Available"),
                     QStringLiteral("Newer version of Velmo Plexa-T exists!\nPlease download it from ")
                         + Endpoints::productPageBaseUrl() + QStringLiteral("/plexat/"),
                     QMessageBox::Ok, QMessageBox::NoButton);
}
} // namespace

void MainWindow::getApplicationXML()
{
    appXmlDownloading = true;
    appXmlRedirects = 0;
    QDir().mkpath(dataDir);
    appXmlFile = new QFile(dataDir + QDir::separator() + APPLICATION_XML_FILE);
    if (!appXmlFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        delete appXmlFile;
        appXmlFile = nullptr;
        appXmlDownloading = false;
        loadApplicationXML();
        return;
    }
    const QUrl url(downloadBaseUrl + APPLICATION_XML_FILE);
    qDebug() << "plexat XML file opened." << url.toString();
    // The request goes out once the event loop runs: the network stack's first use (the manager,
    // its plugins, the HTTP thread) would otherwise come before the window's first paint.
    QTimer::singleShot(0, this, [this, url] {
        if (appXmlDownloading && appXmlFile && !appXmlReply)
            startApplicationXmlGet(url);
    });
}

void MainWindow::startApplicationXmlGet(const QUrl& url)
{
    // Made here rather than with the window: building it costs start-up time before the first paint.
    if (!networkManager)
        networkManager = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    Platform::SmallDownload::limitRequest(request);
    appXmlReply = networkManager->get(request);
    Platform::SmallDownload::watch(appXmlReply);
    connect(appXmlReply, SIGNAL(readyRead()), this, SLOT(slot_http_readyRead3()));
    connect(appXmlReply, SIGNAL(finished()), this, SLOT(slot_http_finished3()));
    connect(appXmlReply, SIGNAL(error(QNetworkReply::NetworkError)), this,
            SLOT(slot_http_networkError3(QNetworkReply::NetworkError)));
}

void MainWindow::slot_http_readyRead3()
{
    if (!appXmlReply)
        return;
    // A reply past the limit is aborted here; its error and finished slots have then run.
    if (Platform::SmallDownload::abortIfTooLarge(appXmlReply, appXmlFile ? appXmlFile->pos() : 0))
        return;
    const QByteArray data = appXmlReply->readAll();
    qDebug() << "httpReadyRead33" << data.size() << "bytes";
    if (appXmlFile)
        appXmlFile->write(data);
}

void MainWindow::slot_http_networkError3(QNetworkReply::NetworkError ne)
{
    // The reply's finished() follows and releases it; compare the last good copy now.
    qDebug() << "Application XML network error" << ne;
    // Whatever part of the file came is of no use, and must not be read in place of a last good copy.
    if (appXmlFile)
        appXmlFile->resize(0);
    if (appXmlDownloading) {
        appXmlDownloading = false;
        loadApplicationXML();
    }
}

// Releases the reply and the target file; whatever happened, nothing stays open.
void MainWindow::finishApplicationXmlDownload(bool failed)
{
    if (appXmlReply) {
        appXmlReply->disconnect(this);
        appXmlReply->deleteLater();
        appXmlReply = nullptr;
    }
    if (appXmlFile) {
        appXmlFile->flush();
        appXmlFile->close();
        delete appXmlFile;
        appXmlFile = nullptr;
    }
    if (failed && appXmlDownloading) {
        appXmlDownloading = false;
        loadApplicationXML();
    }
}

void MainWindow::slot_http_finished3()
{
    qDebug() << " Slot_http_finished3 ---==== ";
    if (!appXmlReply)
        return;
    if (appXmlReply->error() != QNetworkReply::NoError) {
        qDebug() << "Download failed: " << appXmlReply->errorString();
        finishApplicationXmlDownload(true);
        return;
    }
    if (appXmlReply->bytesAvailable() && appXmlFile)
        appXmlFile->write(appXmlReply->readAll());
    finishApplicationXmlDownload(false);
    if (!appXmlDownloading)
        return;

    const QString path = dataDir + QDir::separator() + APPLICATION_XML_FILE;
    const RegularFileRead downloaded = readRegularFile(path, Platform::SmallDownload::MaxBytes);
    if (!downloaded.ok()) {
        qDebug() << "Cannot read the downloaded application XML:" << downloaded.error;
        appXmlDownloading = false;
        loadApplicationXML();
        return;
    }
    const QByteArray body = downloaded.bytes;

    // Only the head of the body is looked at for a redirect page.
    const QString head = ApplicationXml::redirectHead(body);
    if (ApplicationXml::isRedirectPage(head)) {
        if (++appXmlRedirects > maxRedirectPages) {
            qDebug() << "Too many redirect pages; keeping the last good copy.";
            appXmlDownloading = false;
            loadApplicationXML();
            return;
        }
        const QString link = ApplicationXml::redirectLink(head);
        if (link.isEmpty()) {
            qDebug() << "The redirect page links to no web address; keeping the last good copy.";
            appXmlDownloading = false;
            loadApplicationXML();
            return;
        }
        appXmlFile = new QFile(path);
        if (!appXmlFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            delete appXmlFile;
            appXmlFile = nullptr;
            appXmlDownloading = false;
            loadApplicationXML();
            return;
        }
        qDebug() << "333redirect to -" + link + "-";
        startApplicationXmlGet(QUrl(link));
        return;
    }

    // An error page or a portal's page must never replace the last good copy.
    const QString text = QString::fromUtf8(body);
    const bool good = ApplicationXml::offeredVersion(text).split(QLatin1Char('.')).size() == 3;
    appXmlDownloading = false;
    if (!good) {
        qDebug() << "The application XML download is not the application XML; keeping the last good copy.";
        loadApplicationXML();
        return;
    }
    QSaveFile okCopy(dataDir + QDir::separator() + APPLICATION_XML_OK_FILE);
    if (okCopy.open(QIODevice::WriteOnly)) {
        okCopy.write(body);
        if (!okCopy.commit())
            qDebug() << "Could not keep the application XML copy:" << okCopy.errorString();
    }
    loadApplicationXML();
    updateTabControl->startupUpdatesCheck();
}

void MainWindow::loadApplicationXML()
{
    // Either copy may have been replaced by anything (a FIFO, a huge file): read only a regular
    // file no larger than a download may be.
    RegularFileRead file = readRegularFile(dataDir + QDir::separator() + APPLICATION_XML_OK_FILE,
                                           Platform::SmallDownload::MaxBytes);
    if (!file.ok() || file.bytes.isEmpty())
        file = readRegularFile(dataDir + QDir::separator() + APPLICATION_XML_FILE, Platform::SmallDownload::MaxBytes);
    if (!file.ok() || file.bytes.isEmpty())
        return;
    const QByteArray& content = file.bytes;
    appXmlText = QString::fromUtf8(content).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));

    if (ApplicationXml::isNewer(ApplicationXml::offeredVersion(appXmlText), versionMajor, versionMinor, versionPatch))
        warnNewerVersion(ui->centralFrame, updateWarningShown);
}

void MainWindow::initWinSparkle(QString version)
{
    qDebug() << "STARTING SPARKLE";
    Platform::Appcast* appcast = Platform::Appcast::instance();
    appcast->setAppcastUrl(Endpoints::appcastUrl());
    appcast->setAppDetails(QStringLiteral("Velmo"), QStringLiteral("Velmo Plexa-T"), version);
    // Queued: the warning box runs its own event loop, which must not start inside the feed's reply.
    connect(appcast, &Platform::Appcast::updateAvailable, this,
            [this] { warnNewerVersion(ui->centralFrame, updateWarningShown); }, Qt::QueuedConnection);
    appcast->checkUpdateWithoutUi();
}
