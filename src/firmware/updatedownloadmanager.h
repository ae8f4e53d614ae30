#ifndef UPDATEDOWNLOADMANAGER_H
#define UPDATEDOWNLOADMANAGER_H

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <QTimer>
#include <QWidget>

class QFile;
class Ui_MainUI;

// Fetches the products XML and the firmware packages from the download server into the
// firmware folder, follows the server's HTML redirect pages, reports in the status bar and the
// progress bar, and unpacks a package into a folder beside it.
//
// A download is written to "<target>.part" and takes the target's name only when it has
// completed: a failed, cut or refused transfer never leaves a package or catalogue that looks
// whole. One download runs at a time; starting another ends the running one.
class updateDownloadManager : public QWidget
{
    Q_OBJECT

public:
    explicit updateDownloadManager(Ui_MainUI* ui);
    ~updateDownloadManager() override;

    // Starts the products XML download; false (and no signal) when the incoming file cannot be
    // created.
    bool getProductsXML();

    // Largest products XML and package taken; more is refused as a failed download (a length
    // announced beyond it before a byte is written). Real packages are a few MiB.
    static constexpr qint64 MaxProductsXmlBytes = 16 * 1024 * 1024;
    static constexpr qint64 MaxPackageBytes = 256 * 1024 * 1024;
    // Redirect pages followed for one download.
    static constexpr int MaxRedirectPages = 2;
    // A transfer that brings no byte for this long (scaled by TimeScale) is given up.
    static constexpr int IdleTimeoutMs = 30000;
    // Every download, its redirect pages included, ends by a deadline that grows with its size
    // cap: a set-up allowance plus the cap at the slowest rate still worth waiting for. A server
    // that sends a byte now and then is given up at the deadline, not kept open for ever.
    static constexpr int DeadlineBaseMs = 30000;
    static constexpr qint64 SlowestBytesPerSecond = 512 * 1024;
    static int deadlineMs(qint64 sizeCap);
    // Bytes the network layer may hold for us before it stops reading the socket.
    static constexpr qint64 ReadBufferBytes = 1024 * 1024;
    // Tests: replaces the deadline and the idle time-out (milliseconds, not scaled); 0 keeps
    // the normal value.
    static void overrideTimeLimits(int deadlineMs, int idleMs);

    // Why the last unzip failed, for the user; empty after a success.
    QString unzipError() const { return lastUnzipError; }
    QString extractFolder() const { return extractDir; }
    // Copies `source` to `target` (a regular file only), replacing it in one step; true when the
    // copy is in place. The same file is left as it is.
    static bool copyInto(const QString& source, const QString& target);
    bool isDownloading() const { return reply != nullptr; }
    bool isDownloadingPackage() const { return reply != nullptr && downloadingProductZip; }

signals:
    // Once per products XML download: true when a valid catalogue is in place, false otherwise.
    void finishedDownloadingProductsXML(bool finished);
    // Once per package download. `intoFirmwareFolder` is false for a place the user chose.
    void finishedDownloadingPackage(QString deviceName, bool intoFirmwareFolder, bool ok);

public slots:
    void downloadFilesTo(QString deviceName, bool askDialog);
    void downloadFilesToPlexaT(QString deviceName);
    bool parseProd();
    bool unzip(QString absFile);

    void slot_http_readyRead1();
    void slot_http_updateDataReadProgress1(qint64 bytesRead, qint64 totalBytes);
    void slot_http_finished1();
    void slot_http_networkError1(QNetworkReply::NetworkError ne);

private slots:
    void deadlinePassed();

private:
    struct ProductRecord
    {
        QString version;
        QString zipfile;
    };

    void showStatus(const QString& message, bool ok);
    bool openPartFile(const QString& target);
    void startGet(const QString& address, bool showProgress);
    void startDeadline();
    void endRunning();
    void discardPart();
    void failDownload(const QString& why);
    void finishProductsXml();
    void finishPackage();

    QString downloadDir;
    QString downloadBaseUrl;
    ProductRecord product;
    QString extractDir;
    QFile* file = nullptr;
    bool downloadingProductsXML = false;
    bool downloadingProductZip = false;
    QString zipName;
    QString filePath;
    QString deviceName;
    QNetworkAccessManager manager;
    QNetworkReply* reply = nullptr;
    bool networkError = false;
    Ui_MainUI* ui = nullptr;

    QString targetPath;        // where the running download goes once complete
    bool intoFirmwareFolder = false;
    qint64 received = 0;
    int redirects = 0;
    QString lastUnzipError;
    QTimer deadline;
    QString shownMessage; // as the status bar shows it
};

#endif // UPDATEDOWNLOADMANAGER_H
