#ifndef EDIDFILE_H
#define EDIDFILE_H

#include <QByteArray>
#include <QString>

// Writes an EDID to a ".bin" file atomically: the old file stays whole until the new one is
// complete, and a failed write leaves it untouched. Returns false and sets *error on failure.
bool writeEdidFile(const QString& path, const QByteArray& bytes, QString* error);

// The largest EDID there can be: the base block announces at most 255 extensions, so 256 blocks
// of 128 bytes. The editor shows every block of such an EDID; nothing longer is an EDID.
constexpr qint64 MaxEdidBytes = 256 * 128;

// Reads an EDID from a ".bin" file. Returns an empty array and sets *error when the file is not a
// regular file (a FIFO, a device such as /dev/zero, a folder), cannot be read, is longer than
// MaxEdidBytes, or does not hold an EDID (anything edidInputError refuses). Never waits on the
// file and never reads more than one byte past MaxEdidBytes.
QByteArray readEdidFile(const QString& path, QString* error);

#endif // EDIDFILE_H
