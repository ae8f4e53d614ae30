#include "regularfile.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QObject::tr("a folder");
    if (S_ISFIFO(mode))
        return QObject::tr("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QObject::tr("a device");
    if (S_ISSOCK(mode))
        return QObject::tr("a socket");
    return QObject::tr("not a plain file");
}

RegularFileRead failure(RegularFileRead::Status status, const QString& error)
{
    RegularFileRead r;
    r.status = status;
    r.error = error;
    return r;
}

RegularFileRead notRegular(const QString& shown, mode_t mode)
{
    return failure(RegularFileRead::NotRegular,
                   QObject::tr("\"%1\" is not a regular file: it is %2.").arg(shown, kindOf(mode)));
}

RegularFileRead tooLarge(const QString& shown, qint64 maxBytes)
{
    return failure(RegularFileRead::TooLarge,
                   QObject::tr("\"%1\" is too large: it holds more than %2 bytes.").arg(shown).arg(maxBytes));
}

RegularFileRead unreadable(const QString& shown, int error)
{
    return failure(RegularFileRead::Unreadable, QObject::tr("Cannot read \"%1\": %2").arg(shown, qt_error_string(error)));
}

// A Qt resource (":/..."): built into the program, so neither a FIFO nor a device, and its size
// is known.
RegularFileRead readResource(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.exists())
        return failure(RegularFileRead::Missing, QObject::tr("\"%1\" does not exist.").arg(path));
    if (file.size() > maxBytes)
        return tooLarge(path, maxBytes);
    if (!file.open(QIODevice::ReadOnly))
        return failure(RegularFileRead::Unreadable, QObject::tr("Cannot read \"%1\": %2").arg(path, file.errorString()));
    RegularFileRead r;
    r.status = RegularFileRead::Ok;
    r.bytes = file.read(maxBytes + 1);
    return r.bytes.size() > maxBytes ? tooLarge(path, maxBytes) : r;
}

} // namespace

RegularFileRead readRegularFile(const QString& path, qint64 maxBytes)
{
    if (path.startsWith(QLatin1Char(':')))
        return readResource(path, maxBytes);
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    // Looked at before the open, so that no device is ever opened (opening one can have effects).
    if (path.isEmpty() || ::stat(name.constData(), &info) != 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        if (error == ENOENT || error == ENOTDIR)
            return failure(RegularFileRead::Missing, QObject::tr("\"%1\" does not exist.").arg(shown));
        return unreadable(shown, error);
    }
    if (!S_ISREG(info.st_mode))
        return notRegular(shown, info.st_mode);
    if (info.st_size > maxBytes)
        return tooLarge(shown, maxBytes);

    // Without waiting, and checked again on what was opened: the path may have been replaced by a
    // FIFO since the look above.
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == ENOENT ? failure(RegularFileRead::Missing, QObject::tr("\"%1\" does not exist.").arg(shown))
                               : unreadable(shown, errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0)
        return unreadable(shown, errno);
    if (!S_ISREG(info.st_mode))
        return notRegular(shown, info.st_mode);
    if (info.st_size > maxBytes)
        return tooLarge(shown, maxBytes);

    // The size is only a hint (sysfs files report 4096 or 0, a file may grow): read up to one
    // byte past the limit to tell an oversized file.
    RegularFileRead r;
    QByteArray bytes;
    bytes.resize(int(qMin<qint64>(qMax<qint64>(info.st_size, 4096), maxBytes + 1)));
    qint64 total = 0;
    while (total <= maxBytes) {
        if (total == bytes.size())
            bytes.resize(int(qMin<qint64>(qint64(bytes.size()) * 2, maxBytes + 1)));
        const ssize_t n = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return unreadable(shown, errno);
        }
        if (n == 0)
            break;
        total += n;
    }
    if (total > maxBytes)
        return tooLarge(shown, maxBytes);
    bytes.resize(int(total));
    r.status = RegularFileRead::Ok;
    r.bytes = bytes;
    return r;
}

qint64 firstInvalidUtf8(const QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qint64 n = bytes.size();
    qint64 i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length;
        unsigned char low = 0x80; // allowed range of the second byte
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // past U+10FFFF
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        if (s[i + 1] < low || s[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += length;
    }
    return -1;
}

bool xmlTextIsUtf8(const QByteArray& bytes, bool* declared)
{
    if (declared)
        *declared = false;
    // Byte-order marks of UTF-16 and UTF-32: another encoding, the parser's business.
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        return false;
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (!text.startsWith("<?xml"))
        return true;
    if (declared)
        *declared = true;
    const int end = text.indexOf("?>");
    const QString declaration = QString::fromLatin1(text.left(end < 0 ? 200 : end));
    static const QRegularExpression encoding(QStringLiteral("\\bencoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch m = encoding.match(declaration);
    if (!m.hasMatch())
        return true;
    const QString name = m.captured(1).trimmed().toLower();
    return name == QLatin1String("utf-8") || name == QLatin1String("utf8");
}

bool xmlUtf8Error(const QByteArray& bytes, int* line, int* column)
{
    if (!xmlTextIsUtf8(bytes))
        return false;
    const qint64 bad = firstInvalidUtf8(bytes);
    if (bad < 0)
        return false;
    const QByteArray before = bytes.left(int(bad));
    const int lineStart = before.lastIndexOf('\n') + 1;
    if (line)
        *line = before.count('\n') + 1;
    if (column)
        *column = int(bad) - lineStart + 1;
    return true;
}
