#ifndef ZIPARCHIVE_H
#define ZIPARCHIVE_H

#include <cstdint>

// A small reader for ZIP archives (and, as a fallback, single-member gzip files) with which the
// firmware pages unpack the packages they download or that the user picks. Plain C++ over zlib's
// raw inflate and CRC-32; no Qt, no widgets.
//
// Calling order: openZip; getZipItem with index -1 for the count; for each index getZipItem then
// unzipItem; closeZip. Every function returns one of the ZipResult codes (0 = success).
//
// Hostile archives are part of the job: every entry's local header is checked, the delivered size
// and CRC-32 of every entry must match the directory, names that are absolute, carry a drive prefix
// or step up with ".." are refused, the unpacked sizes are capped (per entry, per handle and by
// compression ratio) and the target's file system must have room for the entry.

struct ZipArchive; // the state behind a handle; callers see only the pointer
typedef ZipArchive* ZipHandle;

enum ZipResult : int {
    ZR_OK = 0,
    ZR_NOFILE = 1,       // the archive cannot be opened; the target file or a folder of its path cannot be created
    ZR_NOALLOC = 2,      // out of memory
    ZR_WRITE = 3,        // writing the target file failed or wrote fewer bytes than asked
    ZR_NOTFOUND = 4,     // no such entry (index not below the count, or no entries)
    ZR_CORRUPT = 6,      // not an archive, or damaged (directory, local header, name or extra field)
    ZR_READ = 7,         // reading or positioning in the archive failed
    ZR_NOTSUPPORTED = 8, // spread over several disks; a method other than stored/deflated; ZIP64 sizes
    ZR_ARGS = 9,         // a null or unknown handle; unzipItem with no current entry
    ZR_SEEK = 16,        // the freshly opened archive's position cannot be queried
    ZR_FLATE = 18,       // inflate reported an error
    ZR_PASSWORD = 19,    // the password check byte of an encrypted entry does not match
    ZR_MISMATCH = 20,    // the delivered size or CRC-32 differs from the entry's record
    ZR_BADNAME = 21,     // an absolute name, a drive prefix or a ".." component; a name too long
    ZR_TOOBIG = 22,      // an entry beyond the per-entry, per-archive or compression-ratio cap
    ZR_DISKFULL = 23     // the target's file system has no room for the entry
};

// Windows file attribute bits as carried in ZipEntry::attributes.
enum : uint32_t {
    ZIP_ATTR_READONLY = 0x01,
    ZIP_ATTR_HIDDEN = 0x02,
    ZIP_ATTR_SYSTEM = 0x04,
    ZIP_ATTR_DIRECTORY = 0x10,
    ZIP_ATTR_ARCHIVE = 0x20
};

// Unpack caps against archives that expand without bound ("zip bombs"). Generous for firmware
// packages (a few MiB each), far below what would fill a disk.
constexpr uint64_t ZipMaxEntryBytes = 512ull * 1024 * 1024;   // one entry, uncompressed
constexpr uint64_t ZipMaxTotalBytes = 1024ull * 1024 * 1024;  // all entries unpacked through one handle
constexpr uint64_t ZipMaxRatio = 200;                         // uncompressed / compressed ...
constexpr uint64_t ZipRatioFloorBytes = 16ull * 1024 * 1024;  // ... for entries larger than this

constexpr int ZipMaxPath = 260; // bytes of ZipEntry::name including the terminator

// The caller's record of one entry, filled by getZipItem and handed back to unzipItem.
struct ZipEntry {
    int32_t index = -1;             // in: the entry wanted, or -1 to ask for the count; out for -1: the count
    uint32_t attributes = 0;        // ZIP_ATTR_* bits
    uint64_t lastAccessTime = 0;    // Windows file times: 100-ns ticks since 1601-01-01 UTC
    uint64_t creationTime = 0;
    uint64_t lastWriteTime = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    char name[ZipMaxPath] = {};     // the base folder (current directory at openZip, with "/") + the entry name
};

// Opens `fileName` (a regular file; a FIFO or folder is refused without waiting). `password` may
// be null. On success *handle holds the new handle; on failure it is null.
int openZip(ZipHandle* handle, const char* fileName, const char* password);

// With entry->index == -1: writes the entry count into entry->index. Otherwise selects that entry
// as the current one and fills the record.
int getZipItem(ZipHandle handle, ZipEntry* entry);

// Extracts the current entry into `targetPath`, creating the folders of the path; a directory
// entry creates the folder itself. Afterwards (but for a created directory) no entry is current.
// The entry is the one the last getZipItem selected (the handle keeps its own copy of the record).
int unzipItem(ZipHandle handle, const char* targetPath, ZipEntry* entry);

// Releases the handle and everything it holds. ZR_ARGS for a null or unknown handle.
int closeZip(ZipHandle handle);

// The sequence both firmware pages run: every file entry of `archivePath` is extracted into
// `folder` under the last component of its name (the archive's folders are flattened), replacing
// a file that stands there; directory entries are skipped. The entries are unpacked into a
// temporary folder beside `folder` ("<folder>.unpacking-XXXXXX") and moved in only when the whole
// archive was good: on any failure, whose code is returned, `folder` is left as it was and the
// temporary folder removed. An archive without entries is a success.
int unzipAllFlat(const char* archivePath, const char* folder);

#endif // ZIPARCHIVE_H
