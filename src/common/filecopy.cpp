#include "filecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool replaceFileWithCopy(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(1 << 16)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            *error = out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        *error = in.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

QString copyIntoFolder(const QString& file, const QString& folder, QString* error)
{
    const QString copy = QDir::toNativeSeparators(QDir(folder).filePath(QFileInfo(file).fileName()));
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("The folder could not be created.");
        return QString();
    }
    if (QFileInfo(file).absoluteFilePath() != QFileInfo(copy).absoluteFilePath()
        && !replaceFileWithCopy(file, copy, error))
        return QString();
    return copy;
}
