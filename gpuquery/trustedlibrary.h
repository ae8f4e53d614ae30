#ifndef TRUSTEDLIBRARY_H
#define TRUSTEDLIBRARY_H

// Loading the graphics driver's libraries only from the system's own library folders, never
// through the dynamic loader's search order (the working directory, LD_LIBRARY_PATH, RUNPATH or
// any folder a user can write to would let another program's file stand in for the driver).
//
// A library given by bare name is looked for in a fixed list of system folders, in order:
// /usr/lib/<multiarch>, /lib/<multiarch>, /usr/lib64, /lib64, /usr/lib, /lib. A file there is
// taken only when it, the file a symbolic link leads to and the folders holding both belong to
// root and are not writable by group or others.
//
// Every function reports failure by a null (or 0) result and the calling thread's last-error
// value (trustedLibraryLastError()), which it clears when it starts. File names are byte
// strings on Linux, so each operation has one variant taking UTF-8 `const char*`.
//
// Not available on Linux: the test of a file's embedded code signature against the vendor's
// certificate names. Linux libraries and executables carry no embedded signature that the
// system could check (package signatures are the package manager's, and are gone once the files
// are installed), so the signed-library loads refuse what is not in a trusted place, the
// signature test reports that it cannot check, and the process-creation wrappers, whose whole
// point is that check, refuse to start anything. All of them fail with ErrorNotSupported.

#include <cstdint>
#include <string>

#include <sys/types.h>

namespace GpuQuery {

// Last-error values.
enum TrustedLibraryError : std::uint32_t {
    ErrorNone = 0,
    ErrorNotSupported = 50,        // no code-signature test on this platform
    ErrorInvalidParameter = 87,    // a missing name
    ErrorModuleNotFound = 126,     // no such file in the folders, or it cannot be resolved or opened
    ErrorBadArguments = 160,       // a bare name holding "/", or a path that is not absolute
    ErrorBadPathName = 161,        // outside the trusted places, or a file others could have written
};

std::uint32_t trustedLibraryLastError();

// Load mode: the dlopen mode bits to use; 0 means RTLD_NOW | RTLD_LOCAL. RTLD_NOLOAD is always
// cleared (a load loads). Each successful load holds one reference, released with dlclose().

// The module of `fileName` already loaded from the first system folder that holds it, or null.
// Takes no reference: the module stays valid only while someone else holds it.
void* nvSecureGetModuleHandle(const char* fileName);

// `fileName` loaded from the first system folder that holds it.
void* nvSecureLoadLibrary(const char* fileName, int mode);

// The library at an absolute path that lies in one of the system folders.
void* nvSecureLoadLibraryFromPath(const char* path, int mode);

// Not available (see above): resolves `nameOrPath`, then fails with ErrorNotSupported.
void* nvLoadSignedLibrary(const char* nameOrPath, int mode, bool checkSignerNames);

// A bare name as nvSecureLoadLibrary; an absolute path as nvSecureLoadLibraryFromPath, with
// `mode` unchanged. What lies outside the trusted places would need the signature test and so
// fails with ErrorNotSupported.
void* nvLoadTrustedOrSignedLibrary(const char* nameOrPath, int mode, bool checkSignerNames);

// Not available: always 0 with ErrorNotSupported (ErrorModuleNotFound when the file cannot be
// opened). `signerNamesMatched`, when given, is set to false.
int nvVerifyFileSignature(const char* path, bool* signerNamesMatched);

// Not available: nothing is started; 0 with ErrorNotSupported.
int nvSecureCreateProcess(const char* path, char* const argv[], char* const envp[], bool checkSignerNames,
                          pid_t* pid);
int nvSecureCreateProcessAsUser(uid_t user, const char* path, char* const argv[], char* const envp[],
                                bool checkSignerNames, pid_t* pid);

// The full path `fileName` would be taken from (the first trusted folder holding a file of that
// name), or empty with the last error set as nvSecureLoadLibrary would.
std::string trustedLibraryPath(const char* fileName);

// Whether a file at `path`, the file it leads to and the folders of both are owned by root and
// not writable by group or others.
bool isProtectedSystemFile(const std::string& path);

// Tests only; production never calls it: the one folder to take libraries from in place of the
// system folders, trusted without the ownership test. An empty folder restores the system ones.
void setTestLibraryFolder(const std::string& folder);

} // namespace GpuQuery

#endif // TRUSTEDLIBRARY_H
