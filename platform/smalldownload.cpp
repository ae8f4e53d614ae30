#include "smalldownload.h"
#include "timescale.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace Platform {
namespace SmallDownload {

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

void limitRequest(QNetworkRequest& request)
{
    request.setTransferTimeout(TimeScale::ms(IdleMs));
}

void watch(QNetworkReply* reply)
{
    // One byte past the limit must be able to arrive, so that the limit can be seen exceeded.
    reply->setReadBufferSize(MaxBytes + 1);
    QPointer<QNetworkReply> guarded(reply);
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [guarded] {
        if (guarded && guarded->isRunning()) {
            qDebug() << "Download given up: no end after" << TotalMs / 1000 << "s:" << guarded->url().toString();
            guarded->abort();
        }
    });
    deadline->start(TimeScale::ms(TotalMs));
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [guarded] {
        if (guarded && guarded->header(QNetworkRequest::ContentLengthHeader).toLongLong() > MaxBytes
            && guarded->isRunning()) {
            qDebug() << "Download refused: the server announces more than" << MaxBytes << "bytes";
            guarded->abort();
        }
    });
}

bool abortIfTooLarge(QNetworkReply* reply, qint64 alreadyTaken)
{
    if (alreadyTaken + reply->bytesAvailable() <= MaxBytes)
        return false;
    qDebug() << "Download given up: more than" << MaxBytes << "bytes from" << reply->url().toString();
    reply->abort();
    return true;
}

} // namespace SmallDownload
} // namespace Platform
