#ifndef FILECOPY_H
#define FILECOPY_H

#include <QString>

// Copies `source` to `target` through a temporary file that replaces the target only once it is
// complete, so an older file of the same name never survives a copy and a broken copy never
// stands in for it. False, with *error, when it fails.
bool replaceFileWithCopy(const QString& source, const QString& target, QString* error);

// Copies `file` into `folder` (created when missing) under its own name with
// replaceFileWithCopy and returns the copy's path in native separators; a file already in the
// folder is left as it is. Empty, with *error, when it fails.
QString copyIntoFolder(const QString& file, const QString& folder, QString* error);

#endif // FILECOPY_H
