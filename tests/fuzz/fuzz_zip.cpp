// libFuzzer target for the ZIP reader: any byte string, written to a file and opened as an
// archive (with and without a password, chosen by the last byte), every entry selected and
// extracted. Checks: no crash, no leak, no wait; every code is one of the reader's; an entry name
// is the base folder plus a relative name without ".." components; an extraction that succeeds
// wrote exactly the entry's size; and a handle stays usable after any failure. Built and run by
// run-fuzz.sh with clang: -fsanitize=fuzzer,address,undefined.

#include "ziparchive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void fail(const char* what, int code = 0)
{
    std::fprintf(stderr, "fuzz_zip: %s (%d)\n", what, code);
    std::abort();
}

bool known(int code)
{
    switch (code) {
    case ZR_OK: case ZR_NOFILE: case ZR_NOALLOC: case ZR_WRITE: case ZR_NOTFOUND: case ZR_CORRUPT:
    case ZR_READ: case ZR_NOTSUPPORTED: case ZR_ARGS: case ZR_SEEK: case ZR_FLATE: case ZR_PASSWORD:
    case ZR_MISMATCH: case ZR_BADNAME: case ZR_TOOBIG: case ZR_DISKFULL:
        return true;
    default:
        return false;
    }
}

// A scratch folder of this process, memory-backed where there is one (every run writes and
// removes a few files); removed at exit. Plain characters, so it outlives every destructor.
char scratchDir[64];

void removeScratch()
{
    const std::string d = scratchDir;
    unlink((d + "/input").c_str());
    unlink((d + "/out/entry").c_str());
    rmdir((d + "/out/entry").c_str());
    rmdir((d + "/out").c_str());
    rmdir(d.c_str());
}

const char* scratch()
{
    if (!scratchDir[0]) {
        struct stat st;
        const bool shm = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode);
        std::snprintf(scratchDir, sizeof scratchDir, "%s/fuzz_zip.XXXXXX", shm ? "/dev/shm" : "/tmp");
        if (!mkdtemp(scratchDir))
            fail("no scratch folder");
        std::atexit(removeScratch);
    }
    return scratchDir;
}

bool nameIsSafe(const char* name, const std::string& base)
{
    if (std::strncmp(name, base.c_str(), base.size()) != 0)
        return false;
    std::string rest = name + base.size();
    if (rest.empty() || rest[0] == '/')
        return false;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        if (rest.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string archive = std::string(scratch()) + "/input";
    const std::string target = std::string(scratch()) + "/out/entry";
    FILE* f = std::fopen(archive.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0)
        fail("cannot write the input");

    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        fail("no current directory");
    std::string base = cwd;
    if (base.back() != '/')
        base += '/';

    const char* password = (size && (data[size - 1] & 1)) ? "fw-s3cret" : nullptr;
    ZipHandle zip = nullptr;
    int rc = openZip(&zip, archive.c_str(), password);
    if (!known(rc))
        fail("unknown code from openZip", rc);
    if (rc != ZR_OK) {
        if (zip)
            fail("a failed open returned a handle");
        return 0;
    }
    ZipEntry entry;
    entry.index = -1;
    if (getZipItem(zip, &entry) != ZR_OK || entry.index < 0 || entry.index > 65535)
        fail("bad entry count", entry.index);
    const int count = entry.index;
    for (int i = 0; i < count && i < 64; ++i) {
        entry.index = i;
        rc = getZipItem(zip, &entry);
        if (!known(rc))
            fail("unknown code from getZipItem", rc);
        if (rc != ZR_OK) {
            if (unzipItem(zip, target.c_str(), &entry) != ZR_ARGS)
                fail("an entry stays current after a failed selection");
            continue;
        }
        if (!std::memchr(entry.name, 0, sizeof entry.name) || !nameIsSafe(entry.name, base))
            fail("unsafe entry name");
        unlink(target.c_str());
        rmdir(target.c_str());
        rc = unzipItem(zip, target.c_str(), &entry);
        if (!known(rc))
            fail("unknown code from unzipItem", rc);
        struct stat st;
        if (rc == ZR_OK && !(entry.attributes & ZIP_ATTR_DIRECTORY)
            && (stat(target.c_str(), &st) != 0 || uint64_t(st.st_size) != entry.uncompressedSize))
            fail("an extraction reported success with another size", rc);
    }
    if (closeZip(zip) != ZR_OK)
        fail("closeZip of a live handle");
    return 0;
}
