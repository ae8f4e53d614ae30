#ifndef DRIVERINTERFACES_H
#define DRIVERINTERFACES_H

// The entry points of the NVIDIA display driver interface: one per interface function, keyed by
// its 32-bit interface id. Each makes sure the driver library is loaded and bound
// (driverloader.h), fetches the function's address by its id once per binding, and calls it with
// the caller's arguments unchanged. When the library or the function is absent the entry returns
// a status instead: the loader's, or StatusNoImplementation.
//
// The entries are not written out one by one: interfaceTable lists every id with its number of
// arguments, and nvapiCall<Id>(arguments...) is the entry of one id, checked against the table
// when it is compiled. callInterface() is the same entry by table row, for callers that walk the
// table.
//
// Arguments are pointer-sized: numbers, handles or addresses of the caller's structures, each in
// its own slot. A few interface functions take 8-bit values in some places (interfaceByteArgs);
// there the entry takes an 8-bit integer and passes it zero-extended in its slot. The result is
// the interface function's own status, passed through.

#include "driverloader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace GpuQuery {

using InterfaceArg = std::uintptr_t;
constexpr int MaxInterfaceArgs = 13;

struct InterfaceRow
{
    std::uint32_t id;
    int argCount;
};

// Every interface function the entries reach, with its number of arguments.
constexpr InterfaceRow interfaceTable[] = {
    // 0 arguments
    {0x239C4545, 0}, {0x2EC50C2B, 0},
    // 1 argument
    {0x01053FA5, 1}, {0xA629DA31, 1}, {0x9A1B9365, 1}, {0x0254A187, 1}, {0x2863148D, 1},
    {0xAB163097, 1}, {0x1E9D8A31, 1}, {0x5F1AA66C, 1}, {0x410B5C25, 1}, {0xD54B8989, 1},
    {0x74073CC9, 1}, {0xA064BDFC, 1}, {0xBB2B17AA, 1}, {0x65B93CA8, 1}, {0x2216A357, 1},
    {0xD0CBCA7D, 1}, {0x96BD040E, 1}, {0xCDE8E1A3, 1}, {0x6BA2A5D6, 1}, {0x869534E2, 1},
    {0xBE7692EC, 1}, {0xF117B834, 1}, {0x348FF8E1, 1}, {0x3A153134, 1}, {0xF6A1AD68, 1},
    {0x2D68DE96, 1}, {0xDA044458, 1}, {0xC9A8ECEC, 1}, {0x4C87E317, 1}, {0xA17DAABE, 1},
    {0x0D6C6CD2, 1}, {0x8B7E99B5, 1}, {0x5E8F0BEC, 1}, {0x40C8ED5E, 1}, {0x44F0ECD1, 1},
    {0x0694D52E, 1}, {0xDAD9CFF8, 1}, {0x375DBD6B, 1}, {0xFCBC7E14, 1}, {0x5927B094, 1},
    {0x53DABBCA, 1}, {0xCDA14D8A, 1},
    // 2 arguments
    {0x6C2D048C, 2}, {0xF951A4D1, 2}, {0x2926AAAD, 2}, {0x07F9B368, 2}, {0xE5AC921F, 2},
    {0xD9930B07, 2}, {0x48B3EA59, 2}, {0x5018ED61, 2}, {0xEE1370CF, 2}, {0xADD604D1, 2},
    {0xC7026A87, 2}, {0x7D554F8E, 2}, {0x1730BFC9, 2}, {0x0680DE09, 2}, {0xCF8CAF39, 2},
    {0x96043CC7, 2}, {0xBAAABFCC, 2}, {0xE3E89B6F, 2}, {0x34C9C2D4, 2}, {0xCEEE8E9F, 2},
    {0xC33BAEB1, 2}, {0x1BB18724, 2}, {0x1BE0B8E5, 2}, {0x2A0A350F, 2}, {0xE4715417, 2},
    {0xACC3DA0A, 2}, {0x2D43FB31, 2}, {0xA561FD7D, 2}, {0x6E042794, 2}, {0xC74925A0, 2},
    {0xD048C3B1, 2}, {0x46FBEB03, 2}, {0x5A04B644, 2}, {0x22D54523, 2}, {0xDCB616C3, 2},
    {0x6FF81213, 2}, {0x927DA4F6, 2}, {0x60DED2ED, 2}, {0x2FDE12C5, 2}, {0xE812EB07, 2},
    {0xF089EEF5, 2}, {0x5F608315, 2}, {0xCA1DDAF3, 2}, {0xC71F85A6, 2}, {0x77A796F3, 2},
    {0xE81CE836, 2}, {0x6F5435AF, 2}, {0xE2E1E6F0, 2}, {0x7F7F4600, 2}, {0x9ABDD40D, 2},
    {0x20DE9260, 2}, {0x63F9799E, 2}, {0x35C29134, 2}, {0xA70503B2, 2}, {0x22A78B05, 2},
    {0x4888D790, 2}, {0x67B5DB55, 2}, {0xD995937E, 2}, {0x6067AF3F, 2}, {0x92F9D80D, 2},
    {0x3B05C7E1, 2}, {0xCBBD40F0, 2}, {0xAE457190, 2}, {0x11ABCCF8, 2}, {0xFDB63C81, 2},
    {0xCB89381D, 2}, {0xDF2887AF, 2}, {0xF60852BD, 2}, {0xD9639601, 2}, {0x44A3F1D1, 2},
    {0x16DE1C6A, 2}, {0x8BBFF88B, 2}, {0x70D404EC, 2}, {0x4B708B54, 2}, {0x0F2DD3F2, 2},
    {0xB852F4DB, 2}, {0x8E90BB9F, 2}, {0xA776E8DB, 2}, {0x1DC91303, 2}, {0xD01BD237, 2},
    {0x0E6CE4F1, 2}, {0x118D48A3, 2}, {0xD34A789B, 2}, {0x0E4EEC07, 2}, {0xA1EC8D74, 2},
    {0x7B0D72A3, 2}, {0x964BF452, 2}, {0x51D53D06, 2}, {0x2697A8D1, 2}, {0x462214A9, 2},
    {0xB981D935, 2}, {0xFD7C5557, 2}, {0x49BCEECF, 2}, {0x296C434D, 2}, {0xAC7E37F4, 2},
    {0x1FB0BC30, 2}, {0x451F2134, 2}, {0x5C069FA3, 2}, {0x4AB00934, 2}, {0x3DD6B54B, 2},
    {0xE6839B43, 2}, {0x7BE27FA2, 2}, {0x932CB140, 2}, {0xC7177702, 2}, {0x3CD58F89, 2},
    {0x96EEA9F8, 2}, {0xCE653127, 2}, {0xF5DCFCBA, 2}, {0x36F1C736, 2}, {0xED4416C5, 2},
    {0xD3EDE889, 2}, {0x2BE25DF8, 2}, {0x17093206, 2}, {0x1C89C5DF, 2}, {0x617BFF9F, 2},
    {0x1DAE4FBC, 2}, {0xF020614A, 2}, {0xCB7309CD, 2}, {0xD61CBE6E, 2}, {0xFA5F6134, 2},
    {0xDA8466A0, 2}, {0x9EA74659, 2},
    // 3 arguments
    {0x37D32E69, 3}, {0x0957D7B6, 3}, {0x06B89E68, 3}, {0xB47A657E, 3}, {0xAE921F12, 3},
    {0x34EF9506, 3}, {0xAEA3FA32, 3}, {0x785210A2, 3}, {0xE83D6456, 3}, {0x40A505E4, 3},
    {0x843C0256, 3}, {0xE3640A56, 3}, {0x6C1F3FE4, 3}, {0x004537DF, 3}, {0xC02EEC20, 3},
    {0x1CF639D9, 3}, {0xA57457A4, 3}, {0x6A9F5B63, 3}, {0xC64FF367, 3}, {0xFA13E65A, 3},
    {0x6AE16EC3, 3}, {0x175167E9, 3}, {0x6AE4CFB5, 3}, {0xA2072D59, 3}, {0x1F7DB630, 3},
    {0x552E5B9B, 3}, {0x66FB7FC0, 3}, {0x5D8CF8DE, 3}, {0x4D959A89, 3}, {0x78DB97D7, 3},
    {0x60ACDFDD, 3}, {0xF1F5B434, 3}, {0xFCEAC864, 3}, {0x91123D6A, 3}, {0x37E7191C, 3},
    {0x5F68DA40, 3}, {0x44EE4841, 3}, {0xEAD72FE4, 3}, {0x221FA8E8, 3}, {0x24409F48, 3},
    {0x624E21C2, 3}, {0xCC176068, 3}, {0x61CD6FD6, 3}, {0x16ABD3A9, 3}, {0x7E4A9A0B, 3},
    {0xBC371EE0, 3}, {0x4347A9DE, 3}, {0xC5EA85A1, 3}, {0x2C694BC6, 3}, {0x577DD202, 3},
    {0x2EC39F90, 3}, {0xE4A26362, 3}, {0x53F0381E, 3}, {0x08F2BAB4, 3}, {0x112BA1A5, 3},
    // 4 arguments
    {0x3805EF7A, 4}, {0x22ED9516, 4}, {0x0078DBA2, 4}, {0xB34BAB4F, 4}, {0x3092AC32, 4},
    {0x49882876, 4}, {0xD6B99D89, 4}, {0xDBBC0AF4, 4}, {0xEC32944E, 4}, {0xCF43903D, 4},
    {0x2D11FF51, 4}, {0xE5CEAE41, 4}, {0x7AAF7A04, 4}, {0x7BF0A94D, 4}, {0x1BC21B66, 4},
    {0x1A131E09, 4}, {0xED1F8C69, 4}, {0xEEE566B2, 4}, {0x73BF8338, 4},
    // 5 arguments
    {0x2DDFB66E, 5}, {0x9B542831, 5}, {0xDC6DC8D3, 5}, {0x4562BC38, 5}, {0x6C0ED98C, 5},
    {0x6B9B409E, 5}, {0x7FA2173A, 5}, {0xAE3039DA, 5},
    // 6 arguments
    {0x989685F0, 6}, {0x22DE03AA, 6},
    // 7 arguments
    {0x332D3942, 7},
    // 11 arguments
    {0x6A16D3A0, 11},
    // 13 arguments
    {0xBB939EE5, 13},
};
constexpr int InterfaceCount = int(sizeof(interfaceTable) / sizeof(interfaceTable[0]));

// The argument positions (bit n: argument n, from 0) that carry 8-bit values.
struct InterfaceByteArgs
{
    std::uint32_t id;
    unsigned positions;
};
constexpr InterfaceByteArgs interfaceByteArgs[] = {
    {0xC02EEC20, 0x6}, {0x1CF639D9, 0x6}, {0xA776E8DB, 0x2}, {0x3CD58F89, 0x2},
};

// The table row of an id, or -1.
constexpr int interfaceIndex(std::uint32_t id)
{
    for (int i = 0; i < InterfaceCount; ++i) {
        if (interfaceTable[i].id == id)
            return i;
    }
    return -1;
}

constexpr unsigned interfaceBytePositions(std::uint32_t id)
{
    for (const InterfaceByteArgs& row : interfaceByteArgs) {
        if (row.id == id)
            return row.positions;
    }
    return 0;
}

// The entry of table row `index` (0 .. InterfaceCount-1) with interfaceTable[index].argCount
// arguments from `args`: loads the library, fetches and caches the function, calls it between
// the trace hooks, and returns its result (or the loader's status, or StatusNoImplementation).
NvStatus callInterface(int index, const InterfaceArg* args);

namespace detail {

template <typename T>
constexpr bool isArgumentType()
{
    return std::is_pointer<T>::value || std::is_integral<T>::value || std::is_enum<T>::value
        || std::is_null_pointer<T>::value;
}

template <typename T>
InterfaceArg toInterfaceArg(T value, bool byteSlot)
{
    if constexpr (std::is_pointer<T>::value)
        return reinterpret_cast<InterfaceArg>(value);
    else if constexpr (std::is_null_pointer<T>::value)
        return 0;
    else if constexpr (std::is_enum<T>::value)
        return toInterfaceArg(static_cast<std::underlying_type_t<T>>(value), byteSlot);
    else if constexpr (std::is_signed<T>::value)
        return byteSlot ? InterfaceArg(std::uint8_t(value)) : InterfaceArg(std::intptr_t(value));
    else
        return byteSlot ? InterfaceArg(std::uint8_t(value)) : InterfaceArg(value);
}

template <std::uint32_t Id, typename... Args, std::size_t... I>
constexpr bool byteSlotsTakeBytes(std::index_sequence<I...>)
{
    // In an 8-bit place only an 8-bit integer is accepted, so no wider value is cut silently.
    return ((((interfaceBytePositions(Id) >> I) & 1u) == 0
             || (std::is_integral<Args>::value && sizeof(Args) == 1))
            && ... && true);
}

template <std::uint32_t Id, typename... Args, std::size_t... I>
NvStatus callById(std::index_sequence<I...>, Args... args)
{
    const std::array<InterfaceArg, sizeof...(Args) + 1> values = {
        toInterfaceArg(args, ((interfaceBytePositions(Id) >> I) & 1u) != 0)..., 0};
    return callInterface(interfaceIndex(Id), values.data());
}

} // namespace detail

// The entry of interface `Id`.
template <std::uint32_t Id, typename... Args>
NvStatus nvapiCall(Args... args)
{
    constexpr int index = interfaceIndex(Id);
    static_assert(index >= 0, "not an interface id of the driver interface");
    static_assert(int(sizeof...(Args)) == interfaceTable[index < 0 ? 0 : index].argCount,
                  "wrong number of arguments for this interface");
    static_assert((detail::isArgumentType<Args>() && ... && true),
                  "arguments are numbers, handles or addresses");
    static_assert(detail::byteSlotsTakeBytes<Id, Args...>(std::index_sequence_for<Args...>()),
                  "this argument is an 8-bit value");
    return detail::callById<Id>(std::index_sequence_for<Args...>(), args...);
}

} // namespace GpuQuery

#endif // DRIVERINTERFACES_H
