// A shared library that plays the NVIDIA display driver interface for the tests: the query
// function answering interface ids, initialisation and unloading, optional trace hooks, a few
// displays on one GPU with their EDIDs, and any interface id the test defines with its number of
// arguments, each reaching a function of its own that records the call. The tests set it up
// through the exported fake_* functions; built once as is, and once (FAKE_WITHOUT_QUERY) without
// the query functions.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Arg = std::uintptr_t;
using Status = std::int32_t;

constexpr std::uint32_t InitializeId = 0x0150E828;
constexpr std::uint32_t UnloadId = 0xD22BDD7E;
constexpr std::uint32_t PreCallHookId = 0x33C7358C;
constexpr std::uint32_t PostCallHookId = 0x593E8644;
constexpr std::uint32_t EnumDisplayHandleId = 0x9ABDD40D;
constexpr std::uint32_t GpusFromDisplayId = 0x34EF9506;
constexpr std::uint32_t DisplayOutputIdId = 0xD995937E;
constexpr std::uint32_t GpuEdidId = 0x37D32E69;

constexpr Status EndOfDisplays = -7;
constexpr Status BadArgument = -5;
constexpr std::uint32_t EdidRecordVersion = (3u << 16) | 0x110u;
constexpr int MaxArgs = 13;
constexpr int PoolSize = 128;
constexpr int MaxDisplays = 16;

struct EdidRecord
{
    std::uint32_t version;
    std::uint8_t data[256];
    std::uint32_t edidSize;
    std::uint32_t edidId;
    std::uint32_t offset;
};

struct CallRecord
{
    std::uint32_t id;
    int argCount;
    Arg args[MaxArgs];
};

struct HookRecord
{
    std::uint32_t id;
    std::uint32_t word0;
    std::uint32_t word1;
    Status result;
};

using CallHandler = void (*)(std::uint32_t id, void* context);

struct State
{
    Status initStatus = 0;
    Status unloadStatus = 0;
    bool preHook = false;
    bool postHook = false;
    std::set<std::uint32_t> hidden;
    std::map<std::uint32_t, std::pair<int, int>> defined; // id -> (arg count, slot)
    std::array<int, MaxArgs + 1> slotsUsed{};
    std::array<std::array<std::uint32_t, PoolSize>, MaxArgs + 1> slotIds{};
    std::map<std::uint32_t, int> queries;
    std::vector<std::vector<std::uint8_t>> displays;
    CallHandler handler = nullptr;
    void* handlerContext = nullptr;
    CallRecord lastCall{};
    std::vector<HookRecord> preCalls;
    std::vector<HookRecord> postCalls;
};

State state;
std::mutex queriesLock; // the query function may be asked from several threads at once
std::atomic<int> initCount{0};
std::atomic<int> unloadCount{0};
std::atomic<int> callCount{0};

// Handles the fake hands out: addresses of its own, as a driver's would be.
char displayTokens[MaxDisplays];
char gpuToken;

void called(std::uint32_t id)
{
    callCount.fetch_add(1);
    if (state.handler)
        state.handler(id, state.handlerContext);
}

Status recordCall(int argCount, int slot, const Arg* args)
{
    const std::uint32_t id = state.slotIds[std::size_t(argCount)][std::size_t(slot)];
    state.lastCall.id = id;
    state.lastCall.argCount = argCount;
    std::fill(std::begin(state.lastCall.args), std::end(state.lastCall.args), Arg(0));
    std::copy(args, args + argCount, state.lastCall.args);
    called(id);
    return Status(id); // a result of its own, to see it passed through
}

template <int N, int Slot, typename Seq = std::make_index_sequence<std::size_t(N)>>
struct SlotFunction;

template <int N, int Slot, std::size_t... I>
struct SlotFunction<N, Slot, std::index_sequence<I...>>
{
    static Status call(decltype((void)I, Arg())... args)
    {
        const Arg values[] = {args..., 0};
        return recordCall(N, Slot, values);
    }
};

void* pools[MaxArgs + 1][PoolSize];

template <int N, std::size_t... S>
void fillPool(std::index_sequence<S...>)
{
    ((pools[N][S] = reinterpret_cast<void*>(&SlotFunction<N, int(S)>::call)), ...);
}

template <std::size_t... N>
void fillPools(std::index_sequence<N...>)
{
    (fillPool<int(N)>(std::make_index_sequence<PoolSize>()), ...);
}

struct PoolsFilled
{
    PoolsFilled() { fillPools(std::make_index_sequence<MaxArgs + 1>()); }
} poolsFilled;

int displayIndexOf(Arg handle)
{
    for (int i = 0; i < int(state.displays.size()); ++i) {
        if (handle == reinterpret_cast<Arg>(&displayTokens[i]))
            return i;
    }
    return -1;
}

Status fakeInitialize()
{
    initCount.fetch_add(1);
    return state.initStatus;
}

Status fakeUnload()
{
    unloadCount.fetch_add(1);
    called(UnloadId);
    return state.unloadStatus;
}

void fakePreCallHook(std::uint32_t id, std::uint32_t* words)
{
    state.preCalls.push_back({id, words[0], words[1], 0});
    words[0] = ~id;
    words[1] = 0x5A5A;
}

void fakePostCallHook(std::uint32_t id, std::uint32_t word0, std::uint32_t word1, Status result)
{
    state.postCalls.push_back({id, word0, word1, result});
}

Status enumDisplayHandle(Arg index, Arg display)
{
    called(EnumDisplayHandleId);
    if (index >= state.displays.size())
        return EndOfDisplays;
    *reinterpret_cast<void**>(display) = &displayTokens[index];
    return 0;
}

Status gpusFromDisplay(Arg display, Arg gpus, Arg count)
{
    called(GpusFromDisplayId);
    if (displayIndexOf(display) < 0 || *reinterpret_cast<std::uint32_t*>(count) != 0)
        return BadArgument;
    reinterpret_cast<void**>(gpus)[0] = &gpuToken;
    *reinterpret_cast<std::uint32_t*>(count) = 1;
    return 0;
}

Status displayOutputId(Arg display, Arg outputId)
{
    called(DisplayOutputIdId);
    const int index = displayIndexOf(display);
    if (index < 0)
        return BadArgument;
    *reinterpret_cast<std::uint32_t*>(outputId) = 1u << index;
    return 0;
}

Status gpuEdid(Arg gpu, Arg outputId, Arg record)
{
    called(GpuEdidId);
    auto* edid = reinterpret_cast<EdidRecord*>(record);
    if (gpu != reinterpret_cast<Arg>(&gpuToken) || edid->version != EdidRecordVersion || edid->offset != 0)
        return BadArgument;
    for (int i = 0; i < int(state.displays.size()); ++i) {
        if (outputId != (Arg(1) << i))
            continue;
        const std::vector<std::uint8_t>& bytes = state.displays[std::size_t(i)];
        if (bytes.empty())
            return BadArgument; // a display whose EDID cannot be read
        std::memcpy(edid->data, bytes.data(), std::min<std::size_t>(bytes.size(), sizeof edid->data));
        edid->edidSize = std::uint32_t(bytes.size());
        return 0;
    }
    return BadArgument;
}

void countQuery(std::uint32_t id)
{
    std::lock_guard<std::mutex> guard(queriesLock);
    ++state.queries[id];
}

[[maybe_unused]] void* query(std::uint32_t id)
{
    countQuery(id);
    if (state.hidden.count(id))
        return nullptr;
    const auto defined = state.defined.find(id);
    if (defined != state.defined.end())
        return pools[defined->second.first][defined->second.second];
    switch (id) {
    case InitializeId:
        return reinterpret_cast<void*>(&fakeInitialize);
    case UnloadId:
        return reinterpret_cast<void*>(&fakeUnload);
    case PreCallHookId:
        return state.preHook ? reinterpret_cast<void*>(&fakePreCallHook) : nullptr;
    case PostCallHookId:
        return state.postHook ? reinterpret_cast<void*>(&fakePostCallHook) : nullptr;
    case EnumDisplayHandleId:
        return reinterpret_cast<void*>(&enumDisplayHandle);
    case GpusFromDisplayId:
        return reinterpret_cast<void*>(&gpusFromDisplay);
    case DisplayOutputIdId:
        return reinterpret_cast<void*>(&displayOutputId);
    case GpuEdidId:
        return reinterpret_cast<void*>(&gpuEdid);
    default:
        return nullptr;
    }
}

} // namespace

#ifndef FAKE_WITHOUT_QUERY
FAKE_EXPORT void* nvapi_QueryInterface(std::uint32_t id)
{
    return query(id);
}

FAKE_EXPORT void* nvapi_pepQueryInterface(std::uint32_t id)
{
    countQuery(id);
    return nullptr;
}
#endif

// Back to a driver with no displays, no hooks, no defined ids, nothing hidden and nothing counted.
FAKE_EXPORT void fake_reset()
{
    state = State();
    initCount = 0;
    unloadCount = 0;
    callCount = 0;
}

FAKE_EXPORT void fake_setInitStatus(Status status)
{
    state.initStatus = status;
}

FAKE_EXPORT void fake_setUnloadStatus(Status status)
{
    state.unloadStatus = status;
}

// The query function answers null for `id` (hidden) or answers it again.
FAKE_EXPORT void fake_hide(std::uint32_t id, int hidden)
{
    if (hidden)
        state.hidden.insert(id);
    else
        state.hidden.erase(id);
}

FAKE_EXPORT void fake_setHooks(int pre, int post)
{
    state.preHook = pre != 0;
    state.postHook = post != 0;
}

// `id` answers with a function of `argCount` arguments that records its calls; false when the
// pool of that count is used up.
FAKE_EXPORT int fake_defineInterface(std::uint32_t id, int argCount)
{
    if (argCount < 0 || argCount > MaxArgs || state.slotsUsed[std::size_t(argCount)] >= PoolSize)
        return 0;
    const int slot = state.slotsUsed[std::size_t(argCount)]++;
    state.slotIds[std::size_t(argCount)][std::size_t(slot)] = id;
    state.defined[id] = {argCount, slot};
    return 1;
}

// The last call of a defined id: its id, argument count and arguments (13 slots).
FAKE_EXPORT void fake_lastCall(std::uint32_t* id, int* argCount, Arg* args)
{
    *id = state.lastCall.id;
    *argCount = state.lastCall.argCount;
    std::copy(std::begin(state.lastCall.args), std::end(state.lastCall.args), args);
}

FAKE_EXPORT int fake_queryCount(std::uint32_t id)
{
    std::lock_guard<std::mutex> guard(queriesLock);
    const auto found = state.queries.find(id);
    return found == state.queries.end() ? 0 : found->second;
}

FAKE_EXPORT int fake_initCount()
{
    return initCount;
}

FAKE_EXPORT int fake_unloadCount()
{
    return unloadCount;
}

FAKE_EXPORT int fake_callCount()
{
    return callCount;
}

// Another display on the one GPU, with up to 256 bytes of EDID (none: its readout fails).
FAKE_EXPORT void fake_addDisplay(const std::uint8_t* edid, int size)
{
    if (int(state.displays.size()) < MaxDisplays)
        state.displays.emplace_back(edid, edid + std::max(0, size));
}

// Called from inside every interface function and the unload function, with the id.
FAKE_EXPORT void fake_setCallHandler(CallHandler handler, void* context)
{
    state.handler = handler;
    state.handlerContext = context;
}

// The trace hooks' calls: which = 0 the pre-call hook's, 1 the post-call hook's. Fills up to
// `max` records of four words (id, word 0, word 1, result) and returns how many there are.
FAKE_EXPORT int fake_hookCalls(int which, std::int64_t* records, int max)
{
    const std::vector<HookRecord>& calls = which == 0 ? state.preCalls : state.postCalls;
    for (int i = 0; i < int(calls.size()) && i < max; ++i) {
        records[4 * i] = calls[std::size_t(i)].id;
        records[4 * i + 1] = calls[std::size_t(i)].word0;
        records[4 * i + 2] = calls[std::size_t(i)].word1;
        records[4 * i + 3] = calls[std::size_t(i)].result;
    }
    return int(calls.size());
}
