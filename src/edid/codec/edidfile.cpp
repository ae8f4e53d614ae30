#include "edidfile.h"

#include "ediddecoder.h"
#include "regularfile.h"

#include <QFile>
#include <QSaveFile>

bool writeEdidFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk) shows at once: a buffered one is flushed at
    // commit, which does not notice it and would put a cut file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.error() != QFileDevice::NoError && !file.errorString().isEmpty()
                ? file.errorString()
                : QStringLiteral("Only part of the EDID could be written to %1.").arg(path);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QByteArray readEdidFile(const QString& path, QString* error)
{
    const RegularFileRead file = readRegularFile(path, MaxEdidBytes);
    if (!file.ok()) {
        if (error)
            *error = file.status == RegularFileRead::TooLarge
                ? QStringLiteral("This is not an EDID: an EDID has at most %1 blocks of 128 bytes (%2 bytes), but "
                                 "this file is longer.")
                      .arg(MaxEdidBytes / 128)
                      .arg(MaxEdidBytes)
                : file.error;
        return QByteArray();
    }
    const QByteArray& bytes = file.bytes;
    const QString problem = edidInputError(bytes);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return QByteArray();
    }
    return bytes;
}
