#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <QByteArray>
#include <QString>

// Reading the small files the program keeps or is handed (per-user XML files, EDID ".bin" files,
// the kernel's connector files) without trusting what stands at the path: a FIFO would block the
// open or the read for ever, a device such as /dev/zero never ends, and a huge file would be
// taken into memory whole. Widget-free.

struct RegularFileRead
{
    enum Status {
        Ok,         // `bytes` holds the whole file
        Missing,    // nothing at the path
        NotRegular, // a folder, FIFO, device or socket: left unopened, or opened without waiting
        TooLarge,   // more than the limit: nothing of it is kept
        Unreadable  // the open or a read failed (permissions, I/O error)
    };
    Status status = Unreadable;
    QByteArray bytes;
    QString error; // for the user: the native path and what is wrong; empty when Ok

    bool ok() const { return status == Ok; }
};

// Opens `path` only when it is a regular file (symbolic links followed) and reads at most
// `maxBytes` of it. The open never waits (a FIFO is refused, not waited on) and at most
// `maxBytes` + 1 bytes are read, however large the file claims or turns out to be. Files that
// report no size (the kernel's sysfs attributes) are read the same way. A path starting with
// ":" is a Qt resource (the shipped catalogues) and is read from the program itself.
RegularFileRead readRegularFile(const QString& path, qint64 maxBytes);

// The largest per-user XML file read (settings, statistics, catalogues): far beyond any real
// one (the shipped timing catalogue is some 140 KB), small enough to parse at once.
constexpr qint64 MaxPerUserXmlBytes = 16 * 1024 * 1024;

// Byte offset of the first byte of `bytes` that is not part of a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points past U+10FFFF count as not well-formed, as does a
// sequence cut off at the end), or -1 when all of it is UTF-8.
qint64 firstInvalidUtf8(const QByteArray& bytes);

// For XML text: whether the bytes must be UTF-8 (no byte-order mark of another encoding, and no
// XML declaration or one that names UTF-8 or no encoding at all). `declared` tells whether an
// XML declaration is present.
bool xmlTextIsUtf8(const QByteArray& bytes, bool* declared = nullptr);

// When XML text that must be UTF-8 is not, the line and column (from 1, in bytes) of the first
// offending byte and true; false when the text is well-formed UTF-8 or is declared otherwise.
bool xmlUtf8Error(const QByteArray& bytes, int* line, int* column);

#endif // REGULARFILE_H
