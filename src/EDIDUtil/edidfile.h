#ifndef EDIDFILE_H
#define EDIDFILE_H

#include <QByteArray>
#include <QString>

// Writes an EDID to a ".bin" file atomically: the old file stays whole until the new one is
// complete, and a failed write leaves it untouched. Returns false and sets *error on failure.
bool writeEdidFile(const QString& path, const QByteArray& bytes, QString* error);

// Reads an EDID from a ".bin" file. Returns an empty array and sets *error when the file cannot
// be read or does not hold an EDID (anything edidInputError refuses).
QByteArray readEdidFile(const QString& path, QString* error);

#endif // EDIDFILE_H
