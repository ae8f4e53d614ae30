#include "ziparchive.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr size_t BufferBytes = 16384;
constexpr uint32_t CentralSignature = 0x02014b50;
constexpr uint32_t LocalSignature = 0x04034b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr size_t CentralRecordBytes = 46; // signature included
constexpr size_t LocalHeaderBytes = 30;
constexpr size_t EndRecordBytes = 22;
constexpr uint64_t MaxEndCommentBytes = 65535;
constexpr int EncryptionHeaderBytes = 12;
// Seconds from 1601-01-01 (Windows file times) to 1970-01-01 (Unix times).
constexpr int64_t FileTimeEpochOffset = 11644473600LL;

uint16_t le16(const unsigned char* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint64_t unixToFileTime(int64_t seconds)
{
    return uint64_t((seconds + FileTimeEpochOffset) * 10000000LL);
}

// The central-directory fields the reader uses (the record as stored, after its signature).
struct CentralRecord {
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
};

// The traditional PKWARE stream cipher, keyed by the password.
struct PkCipher {
    uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
    const z_crc_t* table = get_crc_table();

    uint32_t crcStep(uint32_t k, unsigned char c) const { return table[(k ^ c) & 0xff] ^ (k >> 8); }
    void update(unsigned char plain)
    {
        keys[0] = crcStep(keys[0], plain);
        keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
        keys[2] = crcStep(keys[2], (unsigned char)(keys[1] >> 24));
    }
    unsigned char decrypt(unsigned char c)
    {
        const uint32_t t = (keys[2] & 0xfffd) | 2;
        const unsigned char plain = c ^ (unsigned char)((t * (t ^ 1)) >> 8);
        update(plain);
        return plain;
    }
};

// What one unzipItem reads: exists only during that call.
struct EntryReader {
    unsigned char input[BufferBytes];
    size_t inPos = 0;
    size_t inLen = 0;
    uint64_t readPos = 0;             // archive position of the next compressed byte
    uint64_t compressedLeft = 0;      // still to read from the archive
    uint64_t uncompressedLeft = 0;    // still to deliver
    bool deflated = false;
    bool inflateReady = false;
    bool streamEnded = false;
    z_stream zs{};
    bool encrypted = false;
    PkCipher cipher;
    int headerLeft = 0;               // encryption-header bytes still to skip
    unsigned char checkByte = 0;
    uLong crc = 0;

    ~EntryReader()
    {
        if (inflateReady)
            inflateEnd(&zs);
    }
};

} // namespace

struct ZipArchive {
    int fd = -1;
    bool hasPassword = false;
    std::string password;
    uint64_t fileSize = 0;
    uint32_t entryCount = 0;
    uint64_t front = 0;          // bytes standing in front of the archive (a self-extractor stub)
    uint64_t centralStart = 0;   // absolute position of the central directory
    uint64_t centralEnd = 0;
    std::string base;            // the current directory at openZip, with a trailing "/"

    // The current entry.
    int32_t current = -1;
    CentralRecord record;
    std::string name;            // as stored, "\" turned into "/"
    ZipEntry entry;

    // Where the last walk stopped, so walking the entries in order reads the directory once.
    int32_t walkIndex = -1;
    uint64_t walkPos = 0;

    // The single member of a gzip file.
    bool gzip = false;
    uint64_t gzipDataStart = 0;
    std::string gzipName;
    uint32_t gzipTime = 0;

    uint64_t unpackedTotal = 0;  // declared sizes of the entries extracted through this handle
    std::unique_ptr<unsigned char[]> output;

    ~ZipArchive()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

std::mutex liveMutex;
std::unordered_set<const ZipArchive*>& liveHandles()
{
    static std::unordered_set<const ZipArchive*> handles;
    return handles;
}

bool isLive(const ZipArchive* zip)
{
    if (!zip)
        return false;
    std::lock_guard<std::mutex> lock(liveMutex);
    return liveHandles().count(zip) != 0;
}

// Reads exactly `length` bytes at `pos`: false on a failed or short read.
bool readAt(int fd, uint64_t pos, void* buffer, size_t length)
{
    unsigned char* p = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, length, off_t(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        pos += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

bool writeAll(int fd, const unsigned char* p, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        length -= size_t(n);
    }
    return true;
}

// Creates every folder of `path` (and `path` itself when `includeLast`); existing ones are fine.
bool makeFolders(const std::string& path, bool includeLast)
{
    std::string::size_type end = includeLast ? path.size() : path.rfind('/');
    if (end == std::string::npos || end == 0)
        return true;
    for (std::string::size_type i = 1; i <= end; ++i) {
        if (i != end && path[i] != '/')
            continue;
        if (path[i - 1] == '/')
            continue;
        const std::string folder = path.substr(0, i);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
    }
    return true;
}

// Finds the end-of-central-directory record in the last 64 KiB (its comment's longest) of the
// file: the signature nearest the end whose comment ends the file, else (bytes were appended
// after it) the signature nearest the end. Returns its position, or -1.
int64_t findEndRecord(const ZipArchive& zip, unsigned char record[EndRecordBytes])
{
    const uint64_t span = std::min<uint64_t>(zip.fileSize, MaxEndCommentBytes + EndRecordBytes);
    if (span < EndRecordBytes)
        return -1;
    std::vector<unsigned char> tail(span);
    if (!readAt(zip.fd, zip.fileSize - span, tail.data(), span))
        return -1;
    int64_t nearest = -1;
    for (int64_t i = int64_t(span - EndRecordBytes); i >= 0; --i) {
        if (le32(&tail[size_t(i)]) != EndSignature)
            continue;
        if (nearest < 0)
            nearest = i;
        if (uint64_t(i) + EndRecordBytes + le16(&tail[size_t(i) + 20]) == span) {
            nearest = i;
            break;
        }
    }
    if (nearest < 0)
        return -1;
    std::memcpy(record, &tail[size_t(nearest)], EndRecordBytes);
    return int64_t(zip.fileSize - span) + nearest;
}

// Reads a NUL-terminated field of a gzip header starting at `pos`; false when it runs past the
// end of the file or is longer than `limit`.
bool readCString(const ZipArchive& zip, uint64_t& pos, std::string* into, size_t limit)
{
    unsigned char c;
    for (size_t n = 0;; ++n) {
        if (n > limit || pos >= zip.fileSize || !readAt(zip.fd, pos, &c, 1))
            return false;
        ++pos;
        if (c == 0)
            return true;
        if (into)
            into->push_back(char(c));
    }
}

int openGzip(ZipArchive& zip, const char* fileName)
{
    unsigned char header[10];
    if (zip.fileSize < sizeof header + 8 || !readAt(zip.fd, 0, header, sizeof header))
        return ZR_CORRUPT;
    if (header[2] != 8)
        return ZR_NOTSUPPORTED;
    const unsigned char flags = header[3];
    if (flags & 0xe0)
        return ZR_CORRUPT;
    zip.gzipTime = le32(header + 4);
    uint64_t pos = sizeof header;
    if (flags & 0x04) {
        unsigned char len[2];
        if (!readAt(zip.fd, pos, len, 2))
            return ZR_CORRUPT;
        pos += 2 + le16(len);
    }
    if (flags & 0x08) {
        if (!readCString(zip, pos, &zip.gzipName, 65535))
            return ZR_CORRUPT;
    } else {
        // No stored name: the archive's own name without ".gz", as gunzip would write it.
        std::string own = fileName;
        const auto slash = own.rfind('/');
        if (slash != std::string::npos)
            own.erase(0, slash + 1);
        if (own.size() > 3 && own.compare(own.size() - 3, 3, ".gz") == 0)
            own.resize(own.size() - 3);
        zip.gzipName = own;
    }
    if ((flags & 0x10) && !readCString(zip, pos, nullptr, zip.fileSize))
        return ZR_CORRUPT;
    if (flags & 0x02)
        pos += 2;
    if (pos + 8 > zip.fileSize)
        return ZR_CORRUPT;
    zip.gzip = true;
    zip.gzipDataStart = pos;
    zip.entryCount = 1;
    zip.centralStart = zip.centralEnd = zip.fileSize - 8;
    return ZR_OK;
}

// The entry name, cleaned: "\" is a separator too; absolute names, drive prefixes, ".."
// components, NUL bytes and empty names are refused.
int cleanName(const std::string& stored, std::string* cleaned)
{
    std::string name = stored;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (name.empty() || name.find('\0') != std::string::npos)
        return ZR_BADNAME;
    if (name[0] == '/' || (name.size() >= 2 && name[1] == ':'))
        return ZR_BADNAME;
    std::string::size_type start = 0;
    while (start <= name.size()) {
        auto end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return ZR_BADNAME;
        start = end + 1;
    }
    *cleaned = name;
    return ZR_OK;
}

uint64_t dosToFileTime(uint16_t date, uint16_t time)
{
    struct tm t{};
    t.tm_year = 80 + (date >> 9);
    t.tm_mon = ((date >> 5) & 0x0f) - 1;
    t.tm_mday = date & 0x1f;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3f;
    t.tm_sec = 2 * (time & 0x1f);
    t.tm_isdst = -1;
    const time_t seconds = mktime(&t); // local time, as DOS times are
    return unixToFileTime(seconds == time_t(-1) ? 0 : int64_t(seconds));
}

// Attribute bits in the Windows sense, whatever system made the entry.
uint32_t entryAttributes(const CentralRecord& r, const std::string& name)
{
    const unsigned host = r.versionMadeBy >> 8;
    uint32_t attributes;
    if (host == 0 || host == 6 || host == 10 || host == 14) {
        attributes = r.externalAttributes & 0x37;
    } else {
        attributes = (r.externalAttributes & (1u << 30)) ? 0x30 : 0x20;
        if (!(r.externalAttributes & (1u << 23)))
            attributes |= ZIP_ATTR_READONLY;
    }
    if (!name.empty() && name.back() == '/')
        attributes |= ZIP_ATTR_DIRECTORY;
    return attributes;
}

// Extended timestamps ("UT" records): each time is taken only when its four bytes lie inside
// its own record (the central copy holds the modification time only, whatever the flags say).
void applyExtendedTimes(const std::vector<unsigned char>& extra, ZipEntry* entry)
{
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = le16(&extra[pos]);
        const size_t size = std::min<size_t>(le16(&extra[pos + 2]), extra.size() - pos - 4);
        const unsigned char* data = &extra[pos + 4];
        if (id == 0x5455) {
            if (size < 1)
                return;
            const unsigned flags = data[0];
            size_t at = 1;
            uint64_t* targets[3] = {&entry->lastWriteTime, &entry->lastAccessTime, &entry->creationTime};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1u << bit)))
                    continue;
                if (at + 4 > size)
                    break;
                *targets[bit] = unixToFileTime(int32_t(le32(data + at)));
                at += 4;
            }
            return;
        }
        pos += 4 + size;
    }
}

// Reads the central record at `pos`; the next record's position goes to *next.
int readCentralRecord(const ZipArchive& zip, uint64_t pos, CentralRecord* r, uint64_t* next)
{
    unsigned char raw[CentralRecordBytes];
    if (pos + CentralRecordBytes > zip.centralEnd || !readAt(zip.fd, pos, raw, sizeof raw)
        || le32(raw) != CentralSignature)
        return ZR_CORRUPT;
    r->versionMadeBy = le16(raw + 4);
    r->flags = le16(raw + 8);
    r->method = le16(raw + 10);
    r->dosTime = le16(raw + 12);
    r->dosDate = le16(raw + 14);
    r->crc = le32(raw + 16);
    r->compressedSize = le32(raw + 20);
    r->uncompressedSize = le32(raw + 24);
    r->nameLength = le16(raw + 28);
    r->extraLength = le16(raw + 30);
    r->commentLength = le16(raw + 32);
    const uint16_t diskStart = le16(raw + 34);
    r->externalAttributes = le32(raw + 38);
    r->localHeaderOffset = le32(raw + 42);
    *next = pos + CentralRecordBytes + r->nameLength + r->extraLength + r->commentLength;
    if (*next > zip.centralEnd)
        return ZR_CORRUPT;
    if (diskStart != 0 && diskStart != 0xffff)
        return ZR_NOTSUPPORTED;
    return ZR_OK;
}

int selectZipEntry(ZipArchive& zip, int32_t index, ZipEntry* entry)
{
    uint64_t pos = zip.centralStart;
    int32_t at = 0;
    if (zip.walkIndex >= 0 && zip.walkIndex <= index) {
        pos = zip.walkPos;
        at = zip.walkIndex;
    }
    CentralRecord r;
    uint64_t next = 0;
    for (;; ++at) {
        if (const int rc = readCentralRecord(zip, pos, &r, &next))
            return rc;
        if (at == index)
            break;
        pos = next;
    }
    zip.walkIndex = index;
    zip.walkPos = pos;

    std::string stored(r.nameLength, '\0');
    std::vector<unsigned char> extra(r.extraLength);
    const uint64_t namePos = pos + CentralRecordBytes;
    if (!readAt(zip.fd, namePos, &stored[0], stored.size())
        || !readAt(zip.fd, namePos + r.nameLength, extra.data(), extra.size()))
        return ZR_CORRUPT;
    if (r.method != 0 && r.method != 8)
        return ZR_NOTSUPPORTED;
    if (r.compressedSize == 0xffffffff || r.uncompressedSize == 0xffffffff
        || r.localHeaderOffset == 0xffffffff)
        return ZR_NOTSUPPORTED; // ZIP64 sizes or offsets

    std::string cleaned;
    if (const int rc = cleanName(stored, &cleaned))
        return rc;
    const std::string full = zip.base + cleaned;
    if (full.size() >= size_t(ZipMaxPath))
        return ZR_BADNAME;

    zip.record = r;
    zip.name = cleaned;
    ZipEntry e;
    e.index = index;
    std::memcpy(e.name, full.c_str(), full.size() + 1);
    e.attributes = entryAttributes(r, cleaned);
    e.compressedSize = r.compressedSize;
    e.uncompressedSize = r.uncompressedSize;
    e.lastWriteTime = e.lastAccessTime = e.creationTime = dosToFileTime(r.dosDate, r.dosTime);
    applyExtendedTimes(extra, &e);
    *entry = e;
    return ZR_OK;
}

int selectGzipEntry(ZipArchive& zip, ZipEntry* entry)
{
    std::string cleaned;
    if (const int rc = cleanName(zip.gzipName, &cleaned))
        return rc;
    const std::string full = zip.base + cleaned;
    if (full.size() >= size_t(ZipMaxPath))
        return ZR_BADNAME;
    unsigned char trailer[8];
    if (!readAt(zip.fd, zip.fileSize - 8, trailer, sizeof trailer))
        return ZR_READ;
    CentralRecord r;
    r.method = 8;
    r.crc = le32(trailer);
    r.uncompressedSize = le32(trailer + 4);
    const uint64_t compressed = zip.fileSize - 8 - zip.gzipDataStart;
    if (compressed > 0xffffffffu)
        return ZR_NOTSUPPORTED;
    r.compressedSize = uint32_t(compressed);
    zip.record = r;
    zip.name = cleaned;

    int64_t seconds = zip.gzipTime;
    if (seconds == 0) { // no time in the member: the file's own
        struct stat st;
        if (::fstat(zip.fd, &st) == 0)
            seconds = st.st_mtime;
    }
    ZipEntry e;
    e.index = 0;
    std::memcpy(e.name, full.c_str(), full.size() + 1);
    e.attributes = 0;
    e.compressedSize = r.compressedSize;
    e.uncompressedSize = r.uncompressedSize;
    e.lastWriteTime = e.lastAccessTime = e.creationTime = unixToFileTime(seconds);
    *entry = e;
    return ZR_OK;
}

// Positions the reader at the entry's data and sets up inflate and decryption.
int openEntry(ZipArchive& zip, EntryReader& rd)
{
    const CentralRecord& r = zip.record;
    uint64_t dataStart = zip.gzipDataStart;
    if (!zip.gzip) {
        unsigned char local[LocalHeaderBytes];
        const uint64_t at = zip.front + r.localHeaderOffset;
        if (at + LocalHeaderBytes > zip.centralStart)
            return ZR_CORRUPT;
        if (!readAt(zip.fd, at, local, sizeof local))
            return ZR_READ;
        if (le32(local) != LocalSignature)
            return ZR_CORRUPT;
        dataStart = at + LocalHeaderBytes + le16(local + 26) + le16(local + 28);
    }
    if (dataStart + r.compressedSize > zip.centralStart)
        return ZR_CORRUPT;
    rd.readPos = dataStart;
    rd.compressedLeft = r.compressedSize;
    rd.uncompressedLeft = r.uncompressedSize;
    rd.deflated = r.method == 8;
    if (rd.deflated) {
        if (inflateInit2(&rd.zs, -MAX_WBITS) != Z_OK)
            return ZR_NOALLOC;
        rd.inflateReady = true;
    }
    rd.encrypted = (r.flags & 1) != 0;
    if (rd.encrypted) {
        if (r.compressedSize < EncryptionHeaderBytes)
            return ZR_CORRUPT;
        rd.headerLeft = EncryptionHeaderBytes;
        rd.checkByte = (r.flags & 8) ? (unsigned char)(r.dosTime >> 8) : (unsigned char)(r.crc >> 24);
        if (zip.hasPassword)
            for (unsigned char c : zip.password)
                rd.cipher.update(c);
    }
    rd.crc = crc32(0L, Z_NULL, 0);
    return ZR_OK;
}

// Fills the input buffer when it is empty and compressed bytes remain. Returns a code; whether
// input is available afterwards is rd.inPos < rd.inLen.
int refill(ZipArchive& zip, EntryReader& rd)
{
    if (rd.inPos < rd.inLen || rd.compressedLeft == 0)
        return ZR_OK;
    const size_t n = size_t(std::min<uint64_t>(rd.compressedLeft, BufferBytes));
    if (!readAt(zip.fd, rd.readPos, rd.input, n))
        return ZR_READ;
    rd.readPos += n;
    rd.compressedLeft -= n;
    rd.inPos = 0;
    rd.inLen = n;
    if (rd.encrypted)
        for (size_t i = 0; i < n; ++i)
            rd.input[i] = rd.cipher.decrypt(rd.input[i]);
    while (rd.headerLeft > 0 && rd.inPos < rd.inLen) {
        const unsigned char b = rd.input[rd.inPos++];
        if (--rd.headerLeft == 0 && b != rd.checkByte)
            return ZR_PASSWORD;
    }
    return ZR_OK;
}

// Delivers up to `want` bytes of the entry into `out`; *got is 0 at the end of the entry.
int readEntry(ZipArchive& zip, EntryReader& rd, unsigned char* out, size_t want, size_t* got)
{
    *got = 0;
    want = size_t(std::min<uint64_t>(want, rd.uncompressedLeft));
    while (*got < want) {
        if (const int rc = refill(zip, rd))
            return rc;
        const size_t available = rd.inLen - rd.inPos;
        if (available == 0 && rd.compressedLeft == 0 && (!rd.deflated || rd.streamEnded))
            return ZR_MISMATCH; // the data ends before the size the directory promises
        if (!rd.deflated) {
            const size_t n = std::min(available, want - *got);
            std::memcpy(out + *got, rd.input + rd.inPos, n);
            rd.inPos += n;
            *got += n;
            continue;
        }
        if (rd.streamEnded)
            return ZR_MISMATCH;
        rd.zs.next_in = rd.input + rd.inPos;
        rd.zs.avail_in = uInt(available);
        rd.zs.next_out = out + *got;
        rd.zs.avail_out = uInt(want - *got);
        const int ret = inflate(&rd.zs, Z_SYNC_FLUSH);
        const size_t produced = (want - *got) - rd.zs.avail_out;
        rd.inPos = rd.inLen - rd.zs.avail_in;
        *got += produced;
        if (ret == Z_STREAM_END) {
            rd.streamEnded = true;
            break;
        }
        if (ret == Z_BUF_ERROR && produced == 0 && rd.inPos == rd.inLen && rd.compressedLeft == 0)
            return ZR_MISMATCH; // the stream is cut short
        if (ret != Z_OK && ret != Z_BUF_ERROR)
            return ZR_FLATE;
    }
    rd.crc = crc32(rd.crc, out, uInt(*got));
    rd.uncompressedLeft -= *got;
    return ZR_OK;
}

// After the promised bytes: the deflate stream must end there (one more byte would be a bomb
// dressed as a small entry) and the CRC-32 must match.
int finishEntry(ZipArchive& zip, EntryReader& rd)
{
    if (rd.uncompressedLeft != 0)
        return ZR_MISMATCH;
    if (rd.deflated) {
        unsigned char extra;
        while (!rd.streamEnded) {
            if (const int rc = refill(zip, rd))
                return rc;
            rd.zs.next_in = rd.input + rd.inPos;
            rd.zs.avail_in = uInt(rd.inLen - rd.inPos);
            rd.zs.next_out = &extra;
            rd.zs.avail_out = 1;
            const int ret = inflate(&rd.zs, Z_SYNC_FLUSH);
            const bool progressed = rd.zs.avail_in != rd.inLen - rd.inPos || rd.zs.avail_out == 0;
            rd.inPos = rd.inLen - rd.zs.avail_in;
            if (rd.zs.avail_out == 0)
                return ZR_MISMATCH;
            if (ret == Z_STREAM_END)
                rd.streamEnded = true;
            else if (ret != Z_OK && ret != Z_BUF_ERROR)
                return ZR_FLATE;
            else if (!progressed && rd.compressedLeft == 0)
                return ZR_MISMATCH;
        }
    }
    // A gzip file whose data goes on after the member is several members: not one entry.
    if (zip.gzip && (rd.inPos < rd.inLen || rd.compressedLeft != 0))
        return ZR_MISMATCH;
    return rd.crc == zip.record.crc ? ZR_OK : ZR_MISMATCH;
}

// The caps against unpacking without bound, and room on the target's file system.
int checkLimits(const ZipArchive& zip, const std::string& target)
{
    const uint64_t size = zip.record.uncompressedSize;
    if (size > ZipMaxEntryBytes)
        return ZR_TOOBIG;
    if (size > ZipRatioFloorBytes && size > ZipMaxRatio * uint64_t(zip.record.compressedSize))
        return ZR_TOOBIG;
    if (zip.unpackedTotal + size > ZipMaxTotalBytes)
        return ZR_TOOBIG;
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < size)
        return ZR_DISKFULL;
    return ZR_OK;
}

void setFileTimes(int fd, const ZipEntry& e)
{
    auto toSpec = [](uint64_t fileTime) {
        struct timespec ts;
        const int64_t ticks = int64_t(fileTime);
        ts.tv_sec = time_t(ticks / 10000000 - FileTimeEpochOffset);
        ts.tv_nsec = long(ticks % 10000000) * 100;
        return ts;
    };
    const struct timespec times[2] = {toSpec(e.lastAccessTime), toSpec(e.lastWriteTime)};
    ::futimens(fd, times);
}

int extractFile(ZipArchive& zip, const std::string& target)
{
    if (!makeFolders(target, false))
        return ZR_NOFILE;
    if (const int rc = checkLimits(zip, target))
        return rc;
    zip.unpackedTotal += zip.record.uncompressedSize;

    std::unique_ptr<EntryReader> rd(new (std::nothrow) EntryReader);
    if (!rd)
        return ZR_NOALLOC;
    if (!zip.output) {
        zip.output.reset(new (std::nothrow) unsigned char[BufferBytes]);
        if (!zip.output)
            return ZR_NOALLOC;
    }
    if (const int rc = openEntry(zip, *rd))
        return rc;

    const mode_t mode = (zip.entry.attributes & ZIP_ATTR_READONLY) ? 0444 : 0666;
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (out < 0)
        return ZR_NOFILE;
    int rc = ZR_OK;
    for (;;) {
        size_t got = 0;
        rc = readEntry(zip, *rd, zip.output.get(), BufferBytes, &got);
        if (rc != ZR_OK || got == 0)
            break;
        if (!writeAll(out, zip.output.get(), got)) {
            rc = ZR_WRITE;
            break;
        }
    }
    if (rc == ZR_OK)
        rc = finishEntry(zip, *rd);
    if (rc == ZR_OK)
        setFileTimes(out, zip.entry);
    if (::close(out) != 0 && rc == ZR_OK)
        rc = ZR_WRITE;
    return rc;
}

} // namespace

int openZip(ZipHandle* handle, const char* fileName, const char* password)
{
    if (!handle)
        return ZR_ARGS;
    *handle = nullptr;
    if (!fileName)
        return ZR_NOFILE;
    std::unique_ptr<ZipArchive> zip(new (std::nothrow) ZipArchive);
    if (!zip)
        return ZR_NOALLOC;
    if (password) {
        zip->hasPassword = true;
        zip->password = password;
    }
    // Never wait on a FIFO or a device: open without blocking and take regular files only.
    zip->fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (zip->fd < 0)
        return ZR_NOFILE;
    struct stat st;
    if (::fstat(zip->fd, &st) != 0 || !S_ISREG(st.st_mode))
        return ZR_NOFILE;
    if (::lseek(zip->fd, 0, SEEK_CUR) < 0)
        return ZR_SEEK;
    zip->fileSize = uint64_t(st.st_size);

    unsigned char end[EndRecordBytes];
    const int64_t endPos = findEndRecord(*zip, end);
    if (endPos >= 0) {
        const uint16_t thisDisk = le16(end + 4);
        const uint16_t centralDisk = le16(end + 6);
        const uint16_t entriesHere = le16(end + 8);
        const uint16_t entriesTotal = le16(end + 10);
        const uint32_t centralSize = le32(end + 12);
        const uint32_t centralOffset = le32(end + 16);
        if (thisDisk != 0 || centralDisk != 0 || entriesHere != entriesTotal)
            return ZR_NOTSUPPORTED;
        unsigned char locator[4];
        if (endPos >= 20 && readAt(zip->fd, uint64_t(endPos) - 20, locator, 4)
            && le32(locator) == Zip64LocatorSignature)
            return ZR_NOTSUPPORTED;
        if (uint64_t(endPos) < uint64_t(centralOffset) + centralSize)
            return ZR_CORRUPT;
        if (uint64_t(entriesHere) * CentralRecordBytes > centralSize)
            return ZR_CORRUPT;
        zip->front = uint64_t(endPos) - (uint64_t(centralOffset) + centralSize);
        zip->centralStart = zip->front + centralOffset;
        zip->centralEnd = zip->centralStart + centralSize;
        zip->entryCount = entriesHere;
    } else {
        unsigned char magic[2];
        if (!readAt(zip->fd, 0, magic, 2) || le16(magic) != 0x8b1f)
            return ZR_CORRUPT;
        if (const int rc = openGzip(*zip, fileName))
            return rc;
    }

    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size())) {
        zip->base = cwd.data();
        if (zip->base.empty() || zip->base.back() != '/')
            zip->base += '/';
    }

    std::lock_guard<std::mutex> lock(liveMutex);
    liveHandles().insert(zip.get());
    *handle = zip.release();
    return ZR_OK;
}

int getZipItem(ZipHandle handle, ZipEntry* entry)
{
    if (!isLive(handle) || !entry)
        return ZR_ARGS;
    ZipArchive& zip = *handle;
    if (entry->index == -1) {
        entry->index = int32_t(zip.entryCount);
        return ZR_OK;
    }
    zip.current = -1;
    if (entry->index < 0 || uint32_t(entry->index) >= zip.entryCount)
        return ZR_NOTFOUND;
    ZipEntry filled;
    const int rc = zip.gzip ? selectGzipEntry(zip, &filled) : selectZipEntry(zip, entry->index, &filled);
    if (rc != ZR_OK)
        return rc;
    zip.entry = filled;
    zip.current = filled.index;
    *entry = filled;
    return ZR_OK;
}

int unzipItem(ZipHandle handle, const char* targetPath, ZipEntry*)
{
    if (!isLive(handle))
        return ZR_ARGS;
    ZipArchive& zip = *handle;
    if (zip.current < 0)
        return ZR_ARGS;
    if (!targetPath || !*targetPath) {
        zip.current = -1;
        return ZR_NOFILE;
    }
    const std::string target = targetPath;
    if (zip.entry.attributes & ZIP_ATTR_DIRECTORY) {
        if (makeFolders(target, true))
            return ZR_OK;
        zip.current = -1;
        return ZR_NOFILE;
    }
    const int rc = extractFile(zip, target);
    zip.current = -1;
    return rc;
}

int closeZip(ZipHandle handle)
{
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        if (!handle || liveHandles().erase(handle) == 0)
            return ZR_ARGS;
    }
    delete handle;
    return ZR_OK;
}

namespace {

// The regular files of a flat folder (what unzipAllFlat stages), by name.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

void removeStaging(const std::string& staging)
{
    for (const std::string& name : filesIn(staging))
        ::unlink((staging + '/' + name).c_str());
    ::rmdir(staging.c_str());
}

// Extracts every file entry of the open archive into the empty folder `staging`.
int extractFlat(ZipHandle zip, const std::string& staging)
{
    ZipEntry entry;
    entry.index = -1;
    int rc = getZipItem(zip, &entry);
    const int32_t count = entry.index;
    // What the directory announces is refused before a byte is written; what it hides is
    // caught entry by entry (sizes, CRCs and caps).
    uint64_t announced = 0;
    for (int32_t i = 0; rc == ZR_OK && i < count; ++i) {
        entry.index = i;
        rc = getZipItem(zip, &entry);
        announced += entry.uncompressedSize;
        if (rc == ZR_OK && announced > ZipMaxTotalBytes)
            rc = ZR_TOOBIG;
    }
    for (int32_t i = 0; rc == ZR_OK && i < count; ++i) {
        entry.index = i;
        rc = getZipItem(zip, &entry);
        if (rc != ZR_OK)
            break;
        if (entry.attributes & ZIP_ATTR_DIRECTORY)
            continue;
        const char* slash = std::strrchr(entry.name, '/');
        const std::string target = staging + '/' + (slash ? slash + 1 : entry.name);
        // A later entry of the same name replaces an earlier one.
        if (::unlink(target.c_str()) != 0 && errno != ENOENT)
            return ZR_NOFILE;
        rc = unzipItem(zip, target.c_str(), &entry);
    }
    return rc;
}

} // namespace

int unzipAllFlat(const char* archivePath, const char* folder)
{
    if (!folder || !*folder)
        return ZR_NOFILE;
    ZipHandle zip = nullptr;
    int rc = openZip(&zip, archivePath, nullptr);
    if (rc != ZR_OK)
        return rc;

    // Everything is unpacked beside the folder first; the folder changes only once the whole
    // archive was read, sizes and CRCs checked, so a refused archive leaves it as it was.
    std::string target = folder;
    while (target.size() > 1 && target.back() == '/')
        target.pop_back();
    std::string pattern = target + ".unpacking-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        closeZip(zip);
        return ZR_NOFILE;
    }
    const std::string staging(buffer.data());
    rc = extractFlat(zip, staging);
    closeZip(zip);

    const std::vector<std::string> names = rc == ZR_OK ? filesIn(staging) : std::vector<std::string>();
    if (rc == ZR_OK && ::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST)
        rc = ZR_NOFILE;
    // A file standing in the folder is replaced; a folder of that name is not: check them all
    // before anything moves.
    for (const std::string& name : names) {
        struct stat st;
        if (rc == ZR_OK && ::lstat((target + '/' + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            rc = ZR_NOFILE;
    }
    for (const std::string& name : names) {
        if (rc == ZR_OK && ::rename((staging + '/' + name).c_str(), (target + '/' + name).c_str()) != 0)
            rc = ZR_WRITE;
    }
    removeStaging(staging);
    return rc;
}
