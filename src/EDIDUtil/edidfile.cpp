#include "edidfile.h"

#include "ediddecoder.h"

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return QByteArray();
    }
    const QByteArray bytes = file.readAll();
    const QString problem = edidInputError(bytes);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return QByteArray();
    }
    return bytes;
}
