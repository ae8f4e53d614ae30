#ifndef DRIVERLOADER_H
#define DRIVERLOADER_H

// The loader of NVIDIA's display driver interface library. The program does not link to it: the
// library is loaded on first use, from the system library folders only (trustedlibrary.h), its one
// export "nvapi_QueryInterface" is bound (it returns the address of any interface function for a
// 32-bit interface id), and the library's initialisation runs before the first call. Where no
// NVIDIA driver is installed every load reports StatusLibraryNotFound and the monitor EDIDs come
// from the kernel alone.
//
// A twin loader serves the driver's power interface library with its export
// "nvapi_pepQueryInterface"; nothing in the program calls through it.
//
// The library stays loaded until nvapiUnload(), which the program never calls.
//
// Thread safety: any thread may call in. One lock serialises loading, binding and unloading; the
// counters and flags are atomics, and a load and an unload cannot both pass each other's check
// (each publishes its own mark before it reads the other's).

#include <cstdint>

namespace GpuQuery {

using NvStatus = std::int32_t;

enum : NvStatus {
    StatusOk = 0,
    StatusError = -1,            // library busy, bind failed, library refused to unload, or still in use
    StatusLibraryNotFound = -2,
    StatusNoImplementation = -3, // the library does not know the interface id
    StatusNotLoaded = -4,
    StatusNewlyBound = -14,      // just loaded and bound: every cached interface address is stale
};

// File names of the two libraries and the interface ids the loader itself uses. The first is the
// name NVIDIA's Linux driver gives its display driver interface library. The Linux driver ships
// no power interface library; the twin looks for one named after the same pattern, so on a real
// system it reports StatusLibraryNotFound.
constexpr const char* DriverLibraryName = "libnvidia-api.so.1";
constexpr const char* PowerLibraryName = "libnvidia-powerapi.so.1";
constexpr std::uint32_t InitializeId = 0x0150E828;
constexpr std::uint32_t UnloadId = 0xD22BDD7E;
constexpr std::uint32_t PreCallHookId = 0x33C7358C;
constexpr std::uint32_t PostCallHookId = 0x593E8644;

using QueryInterfaceFunction = void* (*)(std::uint32_t id);
using InterfaceStatusFunction = NvStatus (*)();
// Called before each interface call with its id and two trace words (both 0), and after it with
// the id, the two words as the pre-call hook left them and the call's result.
using PreCallHook = void (*)(std::uint32_t id, std::uint32_t* words);
using PostCallHook = void (*)(std::uint32_t id, std::uint32_t word0, std::uint32_t word1, NvStatus result);

// Makes sure the driver library is loaded and bound. StatusOk: bound before, unchanged;
// StatusNewlyBound: bound now (first use, or the library file was replaced), so cached interface
// addresses must be fetched again. On both the in-use count has been raised and *module set; the
// caller lowers it with nvapiEndCall() when its call is over. Otherwise StatusError (an unload
// kept running), StatusLibraryNotFound, or the failing status of the library's initialisation.
NvStatus nvapiLoad(void** module);
// The end of a call that nvapiLoad admitted.
void nvapiEndCall();
// nvapiLoad for callers that make no call: StatusNewlyBound counts as StatusOk, and the in-use
// count is lowered at once.
NvStatus nvapiInitialize();
// Lets the library go: StatusOk, StatusError (in use, or the library's own unload failed: it
// stays loaded), StatusNoImplementation (no unload function) or StatusNotLoaded.
NvStatus nvapiUnload();

// The twins for the power interface library (no identity check, no unload function).
NvStatus nvpowerapiLoad(void** module);
void nvpowerapiEndCall();
NvStatus nvpowerapiUnload();

// What the interface entries read of the driver library's binding.
struct DriverBinding
{
    QueryInterfaceFunction queryInterface = nullptr;
    std::uint32_t bindGeneration = 0;
    PreCallHook preCallHook = nullptr;
    PostCallHook postCallHook = nullptr;
};
DriverBinding driverBinding();

// The state of one library (0 the driver interface, 1 the power interface), for tests and
// diagnostics.
struct LoaderSnapshot
{
    void* module = nullptr;
    bool bound = false;
    int inUseCount = 0;
    std::uint32_t bindGeneration = 0;
    bool preCallHook = false;
    bool postCallHook = false;
};
LoaderSnapshot loaderSnapshot(int library);

} // namespace GpuQuery

#endif // DRIVERLOADER_H
