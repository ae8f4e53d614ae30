#include "driverinterfaces.h"

#include <atomic>
#include <utility>

namespace GpuQuery {

namespace {

// Per entry: the address the query function gave for its id (null: not fetched, or the library
// does not know it) and the binding it came from.
struct CachedFunction
{
    std::atomic<void*> function{nullptr};
    std::atomic<std::uint32_t> generation{0};
};

CachedFunction cache[InterfaceCount];

static_assert(InterfaceCount == 253, "one entry per interface function");

constexpr bool idsAreUnique()
{
    for (int i = 0; i < InterfaceCount; ++i) {
        if (interfaceIndex(interfaceTable[i].id) != i)
            return false;
    }
    return true;
}
static_assert(idsAreUnique(), "an interface id is listed twice");

constexpr bool argCountsFit()
{
    for (const InterfaceRow& row : interfaceTable) {
        if (row.argCount < 0 || row.argCount > MaxInterfaceArgs)
            return false;
    }
    for (const InterfaceByteArgs& row : interfaceByteArgs) {
        const int index = interfaceIndex(row.id);
        if (index < 0 || (row.positions >> interfaceTable[index].argCount) != 0)
            return false;
    }
    return true;
}
static_assert(argCountsFit(), "an argument count or an 8-bit place does not fit the table");

// Calls `function` as a function of N pointer-sized arguments.
template <std::size_t... I>
NvStatus invokeWith(void* function, const InterfaceArg* args, std::index_sequence<I...>)
{
    using Function = NvStatus (*)(decltype((void)I, InterfaceArg())...);
    return reinterpret_cast<Function>(function)(args[I]...);
}

template <std::size_t N>
NvStatus invokeN(void* function, const InterfaceArg* args)
{
    return invokeWith(function, args, std::make_index_sequence<N>());
}

using Invoker = NvStatus (*)(void*, const InterfaceArg*);

template <std::size_t... N>
constexpr std::array<Invoker, sizeof...(N)> makeInvokers(std::index_sequence<N...>)
{
    return {{&invokeN<N>...}};
}

constexpr std::array<Invoker, MaxInterfaceArgs + 1> invokers = makeInvokers(std::make_index_sequence<MaxInterfaceArgs + 1>());

} // namespace

NvStatus callInterface(int index, const InterfaceArg* args)
{
    if (index < 0 || index >= InterfaceCount)
        return StatusNoImplementation;
    const InterfaceRow& row = interfaceTable[index];
    CachedFunction& cached = cache[index];

    const NvStatus loaded = nvapiLoad(nullptr);
    if (loaded != StatusOk && loaded != StatusNewlyBound)
        return loaded;

    const DriverBinding binding = driverBinding();
    void* function = cached.function.load();
    if (loaded == StatusNewlyBound || (function && cached.generation.load() != binding.bindGeneration))
        function = nullptr;
    if (!function && binding.queryInterface) {
        // A null answer is cached too, and asked again at the next call.
        function = binding.queryInterface(row.id);
        cached.generation.store(binding.bindGeneration);
        cached.function.store(function);
    }
    if (!function) {
        nvapiEndCall();
        return StatusNoImplementation;
    }

    std::uint32_t words[2] = {0, 0};
    if (binding.preCallHook)
        binding.preCallHook(row.id, words);
    const NvStatus result = invokers[std::size_t(row.argCount)](function, args);
    if (binding.postCallHook)
        binding.postCallHook(row.id, words[0], words[1], result);
    nvapiEndCall();
    return result;
}

} // namespace GpuQuery
