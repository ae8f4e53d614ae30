#include "trustedlibrary.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace GpuQuery {

namespace {

thread_local std::uint32_t lastError = ErrorNone;

std::uint32_t fail(std::uint32_t error)
{
    lastError = error;
    return error;
}

// The Debian-style multiarch folder name of the architecture this program is built for.
const char* multiarchFolder()
{
#if defined(__x86_64__) && defined(__ILP32__)
    return "x86_64-linux-gnux32";
#elif defined(__x86_64__)
    return "x86_64-linux-gnu";
#elif defined(__i386__)
    return "i386-linux-gnu";
#elif defined(__aarch64__)
    return "aarch64-linux-gnu";
#elif defined(__arm__)
    return "arm-linux-gnueabihf";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "powerpc64le-linux-gnu";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64-linux-gnu";
#else
    return nullptr;
#endif
}

std::mutex& testFolderLock()
{
    static std::mutex lock;
    return lock;
}

std::string& testFolder()
{
    static std::string folder;
    return folder;
}

struct SearchFolders
{
    std::vector<std::string> folders;
    bool test = false; // the test folder: trusted without the ownership test
};

SearchFolders searchFolders()
{
    {
        std::lock_guard<std::mutex> guard(testFolderLock());
        if (!testFolder().empty())
            return {{testFolder()}, true};
    }
    SearchFolders result;
    if (const char* arch = multiarchFolder()) {
        result.folders.push_back(std::string("/usr/lib/") + arch);
        result.folders.push_back(std::string("/lib/") + arch);
    }
    for (const char* folder : {"/usr/lib64", "/lib64", "/usr/lib", "/lib"})
        result.folders.push_back(folder);
    return result;
}

bool protectedEntry(const struct stat& st)
{
    return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool protectedFolderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && protectedEntry(st);
}

std::string realPath(const std::string& path)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string result(resolved);
    free(resolved);
    return result;
}

bool isBareName(const char* fileName)
{
    return std::strchr(fileName, '/') == nullptr;
}

// The load mode actually used: RTLD_NOW | RTLD_LOCAL unless a binding mode is given; never
// RTLD_NOLOAD.
int loadMode(int mode)
{
    mode &= ~RTLD_NOLOAD;
    if ((mode & (RTLD_LAZY | RTLD_NOW)) == 0)
        mode |= RTLD_NOW;
    return mode;
}

// The first folder's file of that name that may be taken. A file that is there but fails the
// ownership test ends the search (a later folder must not win over a tampered earlier one).
std::string findInFolders(const char* fileName)
{
    if (!fileName || !*fileName) {
        fail(ErrorInvalidParameter);
        return std::string();
    }
    if (!isBareName(fileName)) {
        fail(ErrorBadArguments);
        return std::string();
    }
    const SearchFolders search = searchFolders();
    for (const std::string& folder : search.folders) {
        const std::string path = folder + '/' + fileName;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode)) {
            fail(ErrorModuleNotFound);
            return std::string();
        }
        if (!search.test && !isProtectedSystemFile(path)) {
            fail(ErrorBadPathName);
            return std::string();
        }
        return path;
    }
    fail(ErrorModuleNotFound);
    return std::string();
}

// Whether an absolute, resolved path lies inside one of the search folders (compared after
// resolving the folders too, so /lib64 -> /usr/lib64 style links match).
bool inTrustedPlace(const std::string& resolved)
{
    const SearchFolders search = searchFolders();
    for (const std::string& folder : search.folders) {
        const std::string real = realPath(folder);
        if (real.empty())
            continue;
        const std::string prefix = real == "/" ? real : real + '/';
        if (resolved.compare(0, prefix.size(), prefix) == 0)
            return search.test || isProtectedSystemFile(resolved);
    }
    return false;
}

void* openPath(const std::string& path, int mode)
{
    void* module = dlopen(path.c_str(), loadMode(mode));
    if (!module)
        fail(ErrorModuleNotFound);
    return module;
}

} // namespace

std::uint32_t trustedLibraryLastError()
{
    return lastError;
}

bool isProtectedSystemFile(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !protectedFolderOf(path))
        return false;
    const std::string target = realPath(path);
    if (target.empty() || stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return protectedEntry(st) && protectedFolderOf(target);
}

std::string trustedLibraryPath(const char* fileName)
{
    lastError = ErrorNone;
    return findInFolders(fileName);
}

void* nvSecureGetModuleHandle(const char* fileName)
{
    lastError = ErrorNone;
    if (!fileName || !*fileName) {
        fail(ErrorInvalidParameter);
        return nullptr;
    }
    if (!isBareName(fileName)) {
        fail(ErrorBadArguments);
        return nullptr;
    }
    for (const std::string& folder : searchFolders().folders) {
        const std::string path = folder + '/' + fileName;
        if (void* module = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
            // The lookup took a reference of its own; whoever loaded the module keeps it alive.
            dlclose(module);
            return module;
        }
    }
    fail(ErrorModuleNotFound);
    return nullptr;
}

void* nvSecureLoadLibrary(const char* fileName, int mode)
{
    lastError = ErrorNone;
    const std::string path = findInFolders(fileName);
    return path.empty() ? nullptr : openPath(path, mode);
}

void* nvSecureLoadLibraryFromPath(const char* path, int mode)
{
    lastError = ErrorNone;
    if (!path || !*path) {
        fail(ErrorInvalidParameter);
        return nullptr;
    }
    if (path[0] != '/') {
        fail(ErrorBadArguments);
        return nullptr;
    }
    const std::string resolved = realPath(path);
    if (resolved.empty()) {
        fail(ErrorModuleNotFound);
        return nullptr;
    }
    if (!inTrustedPlace(resolved)) {
        fail(ErrorBadPathName);
        return nullptr;
    }
    return openPath(path, mode);
}

void* nvLoadSignedLibrary(const char* nameOrPath, int /*mode*/, bool /*checkSignerNames*/)
{
    lastError = ErrorNone;
    if (!nameOrPath || !*nameOrPath) {
        fail(ErrorInvalidParameter);
        return nullptr;
    }
    const std::string resolved = isBareName(nameOrPath) ? findInFolders(nameOrPath) : realPath(nameOrPath);
    if (resolved.empty()) {
        if (lastError == ErrorNone)
            fail(ErrorModuleNotFound);
        return nullptr;
    }
    fail(ErrorNotSupported);
    return nullptr;
}

void* nvLoadTrustedOrSignedLibrary(const char* nameOrPath, int mode, bool /*checkSignerNames*/)
{
    lastError = ErrorNone;
    if (!nameOrPath || !*nameOrPath) {
        fail(ErrorInvalidParameter);
        return nullptr;
    }
    if (isBareName(nameOrPath)) {
        const std::string path = findInFolders(nameOrPath);
        return path.empty() ? nullptr : openPath(path, mode);
    }
    if (nameOrPath[0] != '/') {
        fail(ErrorBadArguments);
        return nullptr;
    }
    const std::string resolved = realPath(nameOrPath);
    if (resolved.empty()) {
        fail(ErrorModuleNotFound);
        return nullptr;
    }
    if (!inTrustedPlace(resolved)) {
        fail(ErrorNotSupported);
        return nullptr;
    }
    return openPath(nameOrPath, mode);
}

int nvVerifyFileSignature(const char* path, bool* signerNamesMatched)
{
    lastError = ErrorNone;
    if (signerNamesMatched)
        *signerNamesMatched = false;
    if (!path || !*path) {
        fail(ErrorInvalidParameter);
        return 0;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        fail(ErrorModuleNotFound);
        return 0;
    }
    close(fd);
    fail(ErrorNotSupported);
    return 0;
}

int nvSecureCreateProcess(const char*, char* const[], char* const[], bool, pid_t* pid)
{
    lastError = ErrorNone;
    if (pid)
        *pid = 0;
    fail(ErrorNotSupported);
    return 0;
}

int nvSecureCreateProcessAsUser(uid_t, const char*, char* const[], char* const[], bool, pid_t* pid)
{
    lastError = ErrorNone;
    if (pid)
        *pid = 0;
    fail(ErrorNotSupported);
    return 0;
}

void setTestLibraryFolder(const std::string& folder)
{
    std::string clean = folder;
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    std::lock_guard<std::mutex> guard(testFolderLock());
    testFolder() = clean;
}

} // namespace GpuQuery
