#include "driverloader.h"

#include "timescale.h"
#include "trustedlibrary.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

namespace GpuQuery {

namespace {

// Which image is bound. The Windows loader reads the PE header's checksum and time stamp of the
// loaded image; a shared object has neither, so the identity is the file the module was loaded
// from: device, inode, size and modification time. A driver update that puts a new file in place
// (a new inode, or new contents in the old one) gives a new identity.
struct ImageIdentity
{
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const ImageIdentity& o) const
    {
        return valid == o.valid && device == o.device && inode == o.inode && size == o.size
            && modifiedNs == o.modifiedNs;
    }
    bool operator!=(const ImageIdentity& o) const { return !(*this == o); }
};

ImageIdentity identityOf(void* module)
{
    ImageIdentity identity;
    struct link_map* map = nullptr;
    if (!module || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return identity;
    struct stat st;
    if (stat(map->l_name, &st) != 0)
        return identity;
    identity.valid = true;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return identity;
}

struct Library
{
    Library(const char* file, const char* query) : fileName(file), queryName(query) {}

    const char* fileName;
    const char* queryName;
    std::atomic<void*> module{nullptr};
    std::atomic<QueryInterfaceFunction> queryInterface{nullptr};
    std::atomic<int> inUseCount{0};
    std::atomic<std::uint32_t> bindGeneration{0};
    std::atomic<int> unloadBusy{0}; // unloads running
    ImageIdentity identity;         // under loaderLock
};

Library libraries[2] = {{DriverLibraryName, "nvapi_QueryInterface"}, {PowerLibraryName, "nvapi_pepQueryInterface"}};
Library& driverLibrary = libraries[0];
Library& powerLibrary = libraries[1];

std::atomic<PreCallHook> preCallHook{nullptr};
std::atomic<PostCallHook> postCallHook{nullptr};

// Serialises loading, binding and unloading. Recursive, so that a library that calls back into
// the loader from its own initialisation or unload function cannot deadlock the thread.
std::recursive_mutex loaderLock;

// Raises the in-use count unless an unload is running. The count is raised before the unload
// flag is read, and an unload sets its flag before it reads the count, so one of the two always
// sees the other. `attempts` busy rounds of 100 ms at most (0: wait for as long as it takes).
bool admit(Library& lib, int attempts)
{
    for (int attempt = 1;; ++attempt) {
        lib.inUseCount.fetch_add(1);
        if (lib.unloadBusy.load() == 0)
            return true;
        lib.inUseCount.fetch_sub(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(TimeScale::ms(100)));
        if (attempts > 0 && attempt >= attempts)
            return false;
    }
}

// Binds the driver library: the query function, the library's initialisation and the trace
// hooks. A failed bind leaves nothing bound.
NvStatus bindDriver(void* module)
{
    driverLibrary.queryInterface.store(nullptr);
    const auto query = reinterpret_cast<QueryInterfaceFunction>(dlsym(module, driverLibrary.queryName));
    if (!query)
        return StatusError;
    const auto initialize = reinterpret_cast<InterfaceStatusFunction>(query(InitializeId));
    if (!initialize)
        return StatusError;
    const NvStatus status = initialize();
    if (status != StatusOk)
        return status;
    driverLibrary.queryInterface.store(query);

    // A pre-call hook without its post-call partner would trace calls that never end: neither is
    // installed then. A post-call hook alone is kept.
    auto pre = reinterpret_cast<PreCallHook>(query(PreCallHookId));
    const auto post = reinterpret_cast<PostCallHook>(query(PostCallHookId));
    if (pre && !post)
        pre = nullptr;
    preCallHook.store(pre);
    postCallHook.store(post);
    driverLibrary.bindGeneration.fetch_add(1);
    return StatusOk;
}

NvStatus bindPower(void* module)
{
    powerLibrary.queryInterface.store(nullptr);
    const auto query = reinterpret_cast<QueryInterfaceFunction>(dlsym(module, powerLibrary.queryName));
    if (!query)
        return StatusError;
    powerLibrary.queryInterface.store(query);
    powerLibrary.bindGeneration.fetch_add(1);
    return StatusOk;
}

// Lets go of the reference the loader held on the image it had bound before. Kept instead while
// another caller may still be running inside that image (a different image than the one bound
// now, with calls in flight other than `ownCalls`): it then stays loaded until the process ends.
void releasePrevious(Library& lib, void* previous, void* bound, int ownCalls)
{
    if (previous && (previous == bound || lib.inUseCount.load() <= ownCalls))
        dlclose(previous);
}

// Loads `lib` from the system folders and binds it; on success it becomes the library's module.
// Under loaderLock.
NvStatus loadAndBind(Library& lib, NvStatus (*bind)(void*), void** module)
{
    void* loaded = nvSecureLoadLibrary(lib.fileName, 0);
    void* previous = lib.module.load();
    if (!loaded) {
        lib.inUseCount.fetch_sub(1);
        return StatusLibraryNotFound;
    }
    const NvStatus status = bind(loaded);
    if (status != StatusOk) {
        // Nothing stays bound: the next load starts again from the beginning.
        lib.inUseCount.fetch_sub(1);
        lib.module.store(nullptr);
        lib.identity = ImageIdentity();
        releasePrevious(lib, previous, nullptr, 0);
        dlclose(loaded);
        return status;
    }
    lib.module.store(loaded);
    lib.identity = identityOf(loaded);
    releasePrevious(lib, previous, loaded, 1);
    if (module)
        *module = loaded;
    return StatusNewlyBound;
}

} // namespace

NvStatus nvapiLoad(void** module)
{
    if (!admit(driverLibrary, 10))
        return StatusError;
    std::lock_guard<std::recursive_mutex> guard(loaderLock);
    // Looked up again on every load: the library may have been loaded by someone else, or its
    // file replaced, since the last one.
    void* found = nvSecureGetModuleHandle(driverLibrary.fileName);
    if (found && driverLibrary.identity.valid && identityOf(found) == driverLibrary.identity
        && driverLibrary.queryInterface.load()) {
        if (module)
            *module = driverLibrary.module.load();
        return StatusOk;
    }
    // Not loaded, loaded by someone else (always bound on first use) or replaced.
    return loadAndBind(driverLibrary, bindDriver, module);
}

void nvapiEndCall()
{
    driverLibrary.inUseCount.fetch_sub(1);
}

NvStatus nvapiInitialize()
{
    const NvStatus status = nvapiLoad(nullptr);
    if (status != StatusOk && status != StatusNewlyBound)
        return status;
    nvapiEndCall();
    return StatusOk;
}

NvStatus nvapiUnload()
{
    driverLibrary.unloadBusy.fetch_add(1);
    struct Busy
    {
        ~Busy() { driverLibrary.unloadBusy.fetch_sub(1); }
    } busy;
    std::lock_guard<std::recursive_mutex> guard(loaderLock);
    const QueryInterfaceFunction query = driverLibrary.queryInterface.load();
    if (!driverLibrary.module.load() || !query)
        return StatusNotLoaded;
    if (driverLibrary.inUseCount.load() != 0)
        return StatusError;
    const auto unload = reinterpret_cast<InterfaceStatusFunction>(query(UnloadId));
    if (!unload)
        return StatusNoImplementation;
    if (unload() != StatusOk)
        return StatusError;
    driverLibrary.queryInterface.store(nullptr);
    dlclose(driverLibrary.module.exchange(nullptr));
    preCallHook.store(nullptr);
    postCallHook.store(nullptr);
    driverLibrary.identity = ImageIdentity();
    return StatusOk;
}

NvStatus nvpowerapiLoad(void** module)
{
    admit(powerLibrary, 0);
    std::lock_guard<std::recursive_mutex> guard(loaderLock);
    // No identity check for this one; but a library someone else loaded is still bound first.
    void* found = nvSecureGetModuleHandle(powerLibrary.fileName);
    if (found && found == powerLibrary.module.load() && powerLibrary.queryInterface.load()) {
        if (module)
            *module = found;
        return StatusOk;
    }
    return loadAndBind(powerLibrary, bindPower, module);
}

void nvpowerapiEndCall()
{
    powerLibrary.inUseCount.fetch_sub(1);
}

NvStatus nvpowerapiUnload()
{
    powerLibrary.unloadBusy.fetch_add(1);
    struct Busy
    {
        ~Busy() { powerLibrary.unloadBusy.fetch_sub(1); }
    } busy;
    std::lock_guard<std::recursive_mutex> guard(loaderLock);
    if (!powerLibrary.module.load() || !powerLibrary.queryInterface.load())
        return StatusNotLoaded;
    if (powerLibrary.inUseCount.load() != 0)
        return StatusError;
    powerLibrary.queryInterface.store(nullptr);
    dlclose(powerLibrary.module.exchange(nullptr));
    return StatusOk;
}

DriverBinding driverBinding()
{
    DriverBinding binding;
    binding.queryInterface = driverLibrary.queryInterface.load();
    binding.bindGeneration = driverLibrary.bindGeneration.load();
    binding.preCallHook = preCallHook.load();
    binding.postCallHook = postCallHook.load();
    return binding;
}

LoaderSnapshot loaderSnapshot(int library)
{
    const Library& lib = libraries[library == 1 ? 1 : 0];
    LoaderSnapshot snapshot;
    snapshot.module = lib.module.load();
    snapshot.bound = lib.queryInterface.load() != nullptr;
    snapshot.inUseCount = lib.inUseCount.load();
    snapshot.bindGeneration = lib.bindGeneration.load();
    if (library != 1) {
        snapshot.preCallHook = preCallHook.load() != nullptr;
        snapshot.postCallHook = postCallHook.load() != nullptr;
    }
    return snapshot;
}

} // namespace GpuQuery
