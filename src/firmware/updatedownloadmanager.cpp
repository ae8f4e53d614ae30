#include "updatedownloadmanager.h"

#include "applicationxml.h"
#include "constants.h"
#include "dialogs.h"
#include "endpoints.h"
#include "myxmlmanager.h"
#include "regularfile.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "updatexmlmanager.h"
#include "ziparchive.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

namespace {

const QString DOWNLOAD_FAILED = QStringLiteral("Error occurred while downloading.");
const QString CANNOT_CREATE_ZIP = QStringLiteral("Can't create zip file locally!");

// The redirect test looks at the first 51 lines; a redirect page is far smaller than this.
constexpr qint64 RedirectHeadBytes = 64 * 1024;

int deadlineOverrideMs = 0;
int idleOverrideMs = 0;

QString partPathOf(const QString& target)
{
    return target + QStringLiteral(".part");
}

// Replaces `target` by `source` in one step (a reader sees the old file or the new one).
bool replaceFile(const QString& source, const QString& target)
{
    return std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0;
}

// Puts the folder `fresh` in the place of `target` (a folder, a link or a file, or nothing);
// what stood there is removed, a link without what it points to.
bool replaceFolder(const QString& fresh, const QString& target)
{
    const QFileInfo old(target);
    if (!old.exists() && !old.isSymLink())
        return replaceFile(fresh, target);
    QTemporaryDir aside(target + QStringLiteral(".old-XXXXXX"));
    if (!aside.isValid())
        return false;
    const QString oldPlace = aside.path() + QStringLiteral("/old");
    if (!replaceFile(target, oldPlace))
        return false;
    if (!replaceFile(fresh, target)) {
        replaceFile(oldPlace, target);
        return false;
    }
    if (old.isSymLink() || !old.isDir())
        QFile::remove(oldPlace);
    // `aside` removes the old folder with it.
    return true;
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(bytes);
    return out.commit();
}

} // namespace

updateDownloadManager::updateDownloadManager(Ui_MainUI* ui)
    : QWidget(nullptr)
    , downloadDir(updateXMLManager::firmwareFolder())
    , downloadBaseUrl(Endpoints::downloadBaseUrl())
    , ui(ui)
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &updateDownloadManager::deadlinePassed);
    // The whole text of a shortened message belongs to that message only.
    connect(ui->statusBar, &QStatusBar::messageChanged, this, [this](const QString& now) {
        if (now != shownMessage && !this->ui->statusBar->toolTip().isEmpty())
            this->ui->statusBar->setToolTip(QString());
    });
}

int updateDownloadManager::deadlineMs(qint64 sizeCap)
{
    if (deadlineOverrideMs > 0)
        return deadlineOverrideMs;
    return TimeScale::ms(int(DeadlineBaseMs + sizeCap * 1000 / SlowestBytesPerSecond));
}

void updateDownloadManager::overrideTimeLimits(int deadline, int idle)
{
    deadlineOverrideMs = qMax(0, deadline);
    idleOverrideMs = qMax(0, idle);
}

updateDownloadManager::~updateDownloadManager()
{
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        reply = nullptr;
    }
    discardPart();
}

void updateDownloadManager::showStatus(const QString& message, bool ok)
{
    // A long message (a path) is shortened in its middle to what the bar shows; the tool tip
    // keeps it whole.
    QString shown = message;
    if (ui->statusBar->isVisible()) {
        const int room = ui->statusBar->contentsRect().width() - 30; // margins and the size grip
        shown = ui->statusBar->fontMetrics().elidedText(message, Qt::ElideMiddle, qMax(room, 40));
    }
    shownMessage = shown;
    ui->statusBar->showMessage(shown, 0);
    ui->statusBar->setToolTip(shown == message ? QString() : message);
    QPalette palette = ui->statusBar->palette();
    palette.setColor(QPalette::WindowText, ok ? QColor(0, 220, 255, 255) : QColor(255, 70, 50, 255));
    ui->statusBar->setPalette(palette);
}

bool updateDownloadManager::openPartFile(const QString& path)
{
    file = new QFile(path);
    if (file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    qDebug() << "Cannot create" << path << ":" << file->errorString();
    delete file;
    file = nullptr;
    return false;
}

// Closes and removes what the running download has written so far.
void updateDownloadManager::discardPart()
{
    if (!file)
        return;
    file->close();
    file->remove();
    delete file;
    file = nullptr;
}

// Ends a download still running when another starts: it counts as failed, once.
void updateDownloadManager::endRunning()
{
    if (reply) {
        QNetworkReply* running = reply;
        reply = nullptr;
        running->disconnect(this);
        running->abort();
        running->deleteLater();
        failDownload(QStringLiteral("replaced by a new download"));
    }
    discardPart();
    downloadingProductsXML = false;
    downloadingProductZip = false;
}

void updateDownloadManager::startGet(const QString& address, bool showProgress)
{
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    request.setTransferTimeout(idleOverrideMs > 0 ? idleOverrideMs : TimeScale::ms(IdleTimeoutMs));
    received = 0;
    reply = manager.get(request);
    // The body goes to the file as it arrives; the network layer holds no more than this.
    reply->setReadBufferSize(ReadBufferBytes);
    connect(reply, SIGNAL(finished()), this, SLOT(slot_http_finished1()));
    connect(reply, SIGNAL(errorOccurred(QNetworkReply::NetworkError)), this,
            SLOT(slot_http_networkError1(QNetworkReply::NetworkError)));
    connect(reply, SIGNAL(readyRead()), this, SLOT(slot_http_readyRead1()));
    if (showProgress)
        connect(reply, SIGNAL(downloadProgress(qint64, qint64)), this,
                SLOT(slot_http_updateDataReadProgress1(qint64, qint64)));
}

void updateDownloadManager::startDeadline()
{
    deadline.start(deadlineMs(downloadingProductsXML ? MaxProductsXmlBytes : MaxPackageBytes));
}

void updateDownloadManager::deadlinePassed()
{
    if (!reply)
        return;
    qDebug() << "Download not complete by its deadline; given up.";
    networkError = true;
    reply->abort(); // its finished() reports the failure
}

bool updateDownloadManager::getProductsXML()
{
    endRunning();
    downloadingProductsXML = true;
    downloadingProductZip = false;
    networkError = false;
    redirects = 0;

    QDir().mkpath(downloadDir);
    targetPath = downloadDir + QDir::separator() + FIRMWARE_TAB_INFO_IN_FILE;
    if (!openPartFile(targetPath)) {
        showStatus(QStringLiteral("Can't create products XML file!"), false);
        downloadingProductsXML = false;
        return false;
    }
    startDeadline();
    startGet(downloadBaseUrl + QStringLiteral("PlexaT/") + FIRMWARE_TAB_INFO_FILE, true);
    return !networkError;
}

void updateDownloadManager::downloadFilesToPlexaT(QString deviceName)
{
    downloadFilesTo(deviceName, false);
}

void updateDownloadManager::downloadFilesTo(QString deviceName, bool askDialog)
{
    endRunning();
    ui->updateBar->setRange(0, 100);
    networkError = false;
    redirects = 0;
    this->deviceName = deviceName;
    downloadingProductsXML = false;
    downloadingProductZip = true;
    intoFirmwareFolder = !askDialog;

    parseProd();
    const QString productFolder = downloadDir + QDir::separator() + deviceName;
    QString target;
    if (updateXMLManager::isPlainFileName(product.zipfile)) {
        if (askDialog) {
            const QString start = myXMLManager::getLastSavedDirectory() + QDir::separator() + product.zipfile;
            target = Dialogs::getSaveFileName(this, tr("Save File"), start, tr("Files (*.zip)"));
            myXMLManager::setLastSavedDirectory(target);
        } else {
            QDir().mkpath(productFolder);
            target = productFolder + QDir::separator() + product.zipfile;
        }
    }
    if (target.isEmpty() || !openPartFile(partPathOf(target))) {
        showStatus(CANNOT_CREATE_ZIP, false);
        downloadingProductZip = false;
        emit finishedDownloadingPackage(deviceName, intoFirmwareFolder, false);
        return;
    }
    targetPath = target;
    showStatus(QStringLiteral("Downloading firmware files. Please wait."), true);
    startDeadline();
    startGet(downloadBaseUrl + product.zipfile, true);
}

bool updateDownloadManager::parseProd()
{
    updateXMLManager catalogue(ui);
    if (!catalogue.openProductsXML())
        return false;
    product = ProductRecord();
    const QDomElement found = catalogue.findProduct(deviceName);
    product.version = found.attribute(QStringLiteral("version"));
    product.zipfile = found.attribute(QStringLiteral("zipfile"));
    return true;
}

void updateDownloadManager::slot_http_readyRead1()
{
    if (!reply || sender() != reply || !reply->isOpen())
        return;
    const qint64 limit = downloadingProductsXML ? MaxProductsXmlBytes : MaxPackageBytes;
    // A length announced beyond the cap is refused before a byte is written.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() > limit) {
        qDebug() << "Download announced as" << announced.toLongLong() << "bytes, more than" << limit;
        networkError = true;
        reply->abort();
        return;
    }
    const QByteArray data = reply->readAll();
    received += data.size();
    const bool written = received <= limit && file && file->isOpen() && file->write(data) == data.size();
    if (!written) {
        qDebug() << (received > limit ? "Download larger than" : "Cannot write the download") << limit;
        networkError = true;
        reply->abort(); // its finished() reports the failure
    }
}

void updateDownloadManager::slot_http_updateDataReadProgress1(qint64 bytesRead, qint64 totalBytes)
{
    if (downloadingProductsXML || bytesRead <= 0 || totalBytes <= 0)
        return;
    ui->updateBar->setValue(int(qMin<qint64>(100, bytesRead * 100 / totalBytes)));
}

void updateDownloadManager::slot_http_networkError1(QNetworkReply::NetworkError ne)
{
    qDebug() << "Download error" << ne;
    showStatus(DOWNLOAD_FAILED, false);
    networkError = true;
}

void updateDownloadManager::failDownload(const QString& why)
{
    qDebug() << "Download failed:" << why;
    deadline.stop();
    discardPart();
    showStatus(DOWNLOAD_FAILED, false);
    networkError = true;
    if (downloadingProductsXML) {
        downloadingProductsXML = false;
        emit finishedDownloadingProductsXML(false);
    } else if (downloadingProductZip) {
        downloadingProductZip = false;
        emit finishedDownloadingPackage(deviceName, intoFirmwareFolder, false);
    }
}

void updateDownloadManager::slot_http_finished1()
{
    if (!reply || sender() != reply)
        return;
    QNetworkReply* done = reply;
    reply = nullptr;
    done->deleteLater();
    const int status = done->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (done->error() != QNetworkReply::NoError || networkError || status < 200 || status > 299) {
        failDownload(QStringLiteral("%1 (HTTP %2)").arg(done->errorString()).arg(status));
        return;
    }
    if (!file || !file->flush()) {
        failDownload(QStringLiteral("cannot write the download"));
        return;
    }
    file->close();
    if (!downloadingProductsXML && !downloadingProductZip) {
        deadline.stop();
        discardPart();
        return;
    }

    QFile readBack(file->fileName());
    if (!readBack.open(QIODevice::ReadOnly)) {
        failDownload(QStringLiteral("cannot read back ") + file->fileName());
        return;
    }
    const QByteArray start = readBack.read(RedirectHeadBytes);
    readBack.close();
    // An archive is never a redirect page, whatever text its stored files hold.
    const bool archive =
        start.startsWith("PK\x03\x04") || start.startsWith("PK\x05\x06") || start.startsWith("\x1f\x8b");
    const QString head = archive ? QString() : ApplicationXml::redirectHead(start);
    if (ApplicationXml::isRedirectPage(head)) {
        const QString link = ApplicationXml::redirectLink(head);
        if (++redirects > MaxRedirectPages || link.isEmpty()) {
            failDownload(link.isEmpty() ? QStringLiteral("a redirect page without a web address")
                                        : QStringLiteral("too many redirect pages"));
            return;
        }
        qDebug() << "Redirect page: fetching" << link;
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            failDownload(QStringLiteral("cannot rewrite ") + file->fileName());
            return;
        }
        startGet(link, false);
        return;
    }

    if (downloadingProductsXML)
        finishProductsXml();
    else
        finishPackage();
}

void updateDownloadManager::finishProductsXml()
{
    deadline.stop();
    const QString in = file->fileName();
    delete file;
    file = nullptr;
    const QString current = downloadDir + QDir::separator() + FIRMWARE_TAB_INFO_FILE;
    const RegularFileRead downloaded = readRegularFile(in, MaxProductsXmlBytes);
    QFile::remove(in);

    // Only a whole catalogue replaces the one in use: an error page, a portal's page or a cut
    // transfer leaves it as it was.
    QDomDocument doc;
    const bool valid = downloaded.ok() && doc.setContent(downloaded.bytes)
        && doc.documentElement().tagName() == FIRMWARE_DOCTYPE;
    bool kept = valid && writeWhole(current, downloaded.bytes);
    const RegularFileRead inUse = readRegularFile(current, MaxProductsXmlBytes);
    if (inUse.ok())
        writeWhole(downloadDir + QDir::separator() + FIRMWARE_TAB_INFO_OK_FILE, inUse.bytes);
    downloadingProductsXML = false;
    if (!kept) {
        qDebug() << "The download is not a products XML; the catalogue in use stays.";
        showStatus(DOWNLOAD_FAILED, false);
    } else {
        showStatus(QString(), true);
    }
    emit finishedDownloadingProductsXML(kept);
}

void updateDownloadManager::finishPackage()
{
    deadline.stop();
    const QString part = file->fileName();
    const qint64 size = file->size();
    delete file;
    file = nullptr;
    if (size <= 0 || !replaceFile(part, targetPath)) {
        QFile::remove(part);
        downloadingProductZip = true;
        failDownload(size <= 0 ? QStringLiteral("an empty package") : QStringLiteral("cannot rename ") + part);
        return;
    }
    downloadingProductZip = false;
    filePath = targetPath;
    zipName = product.zipfile;
    showStatus(QStringLiteral("Firmware zip file was downloaded successfully to ")
                   + QDir::toNativeSeparators(QFileInfo(targetPath).absolutePath()),
               true);
    ui->updateBar->setValue(100);
    emit finishedDownloadingPackage(deviceName, intoFirmwareFolder, true);
}

bool updateDownloadManager::copyInto(const QString& source, const QString& target)
{
    const QFileInfo from(source);
    if (!from.isFile())
        return false;
    if (from.canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return true;
    const QString part = partPathOf(target);
    QFile::remove(part);
    if (!QFile::copy(source, part) || !replaceFile(part, target)) {
        QFile::remove(part);
        return false;
    }
    return true;
}

namespace {

QString zipResultText(int code)
{
    switch (code) {
    case ZR_NOFILE:
        return QStringLiteral("the package or a file in the folder cannot be opened or created.");
    case ZR_NOALLOC:
        return QStringLiteral("out of memory.");
    case ZR_WRITE:
        return QStringLiteral("a file of the package could not be written.");
    case ZR_DISKFULL:
        return QStringLiteral("there is not enough free space on the disk.");
    case ZR_PASSWORD:
        return QStringLiteral("the package is protected by a password.");
    case ZR_NOTSUPPORTED:
        return QStringLiteral("the package uses a form this program cannot read.");
    case ZR_BADNAME:
        return QStringLiteral("the package holds a file name that would leave its folder.");
    case ZR_TOOBIG:
        return QStringLiteral("the package unpacks to more than a firmware package can hold.");
    default:
        return QStringLiteral("the package is damaged or not a ZIP archive (code %1).").arg(code);
    }
}

} // namespace

bool updateDownloadManager::unzip(QString absFile)
{
    lastUnzipError.clear();
    const QFileInfo archive(absFile);
    if (!archive.isFile()) {
        lastUnzipError = QStringLiteral("the package does not exist.");
        return false;
    }
    const QString base = updateXMLManager::baseName(archive.fileName());
    extractDir = QDir::toNativeSeparators(archive.absolutePath() + QDir::separator() + base);
    filePath = QDir::toNativeSeparators(archive.absoluteFilePath());
    if (base.isEmpty() || extractDir == filePath) {
        lastUnzipError = QStringLiteral("the package name has no extension.");
        return false;
    }

    // The package is unpacked into a new folder beside the old one, which it replaces whole only
    // once every entry came out good: files of an earlier unpack are never taken for this
    // package's, and a refused package leaves the old folder exactly as it was.
    QTemporaryDir fresh(extractDir + QStringLiteral(".new-XXXXXX"));
    if (!fresh.isValid()) {
        lastUnzipError = QStringLiteral("the folder %1 cannot be created.").arg(extractDir);
        return false;
    }
    const int result =
        unzipAllFlat(QFile::encodeName(filePath).constData(), QFile::encodeName(fresh.path()).constData());
    if (result != ZR_OK) {
        qDebug() << "Unpacking" << filePath << "failed with" << result;
        lastUnzipError = zipResultText(result);
        return false;
    }
    if (!replaceFolder(fresh.path(), extractDir)) {
        lastUnzipError = QStringLiteral("the folder %1 cannot be replaced.").arg(extractDir);
        return false;
    }
    fresh.setAutoRemove(false);
    QFile::setPermissions(extractDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                          | QFileDevice::ExeOther);
    return true;
}
