#ifndef SMALLDOWNLOAD_H
#define SMALLDOWNLOAD_H

#include <QtGlobal>

class QNetworkReply;
class QNetworkRequest;
class QUrl;

namespace Platform {

// The program fetches a few small files for itself at start-up (the application XML, the appcast
// feed). A hostile or broken server must not make them large or endless: each GET of such a file
// is given up when it brings more than `MaxBytes`, goes `IdleMs` without a byte, or takes longer
// than `TotalMs` in all. Given up means aborted: the reply ends with an error like any other
// network failure, and what it brought so far is not used.
namespace SmallDownload {

constexpr qint64 MaxBytes = 4 * 1024 * 1024; // the real files are a few kilobytes
constexpr int IdleMs = 30000;
constexpr int TotalMs = 60000;

// Only plain web addresses are fetched: http or https with a host.
bool isWebAddress(const QUrl& url);

// Sets the idle time-out on a request for such a file.
void limitRequest(QNetworkRequest& request);

// Arms the overall deadline on a reply just issued, refuses a declared length over the limit, and
// bounds what the reply buffers.
void watch(QNetworkReply* reply);

// Aborts `reply` when the bytes already taken from it plus those it holds exceed the limit;
// true when it did (the reply has then emitted its error and finished signals).
bool abortIfTooLarge(QNetworkReply* reply, qint64 alreadyTaken);

} // namespace SmallDownload
} // namespace Platform

#endif // SMALLDOWNLOAD_H
