#ifndef DRIVERDISPLAYS_H
#define DRIVERDISPLAYS_H

// The four entries of the driver interface that the monitor EDID readout calls. Each loads the
// driver interface on first use; a non-zero status means failure (StatusLibraryNotFound where no
// NVIDIA driver is installed).

#include "driverloader.h"

#include <cstdint>

namespace GpuQuery {

// Opaque handles the driver hands out.
using NvDisplayHandle = void*;
using NvPhysicalGpuHandle = void*;

constexpr int MaxPhysicalGpus = 64;

// The driver's version-3 EDID record: 272 bytes, the version word holding the record's size in
// its low 16 bits and the version in its high 16 bits. With the three words after the data left
// at 0, one call returns the first 256 bytes.
struct EdidRecordV3
{
    std::uint32_t version = EdidRecordV3Version;
    std::uint8_t data[256] = {};
    std::uint32_t edidSize = 0;
    std::uint32_t edidId = 0;
    std::uint32_t offset = 0;

    static constexpr std::uint32_t EdidRecordV3Version = (3u << 16) | 0x110u;
};
static_assert(sizeof(EdidRecordV3) == 0x110, "the record's size is part of its version word");

// Display `index` (0, 1, 2 ...): StatusOk and its handle while such a display exists.
NvStatus NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvDisplayHandle* display);
// The GPUs that drive the display: up to 64 handles and their count.
NvStatus NvAPI_GetPhysicalGPUsFromDisplay(NvDisplayHandle display, NvPhysicalGpuHandle gpus[MaxPhysicalGpus],
                                          std::uint32_t* count);
// The display's output id on its GPU.
NvStatus NvAPI_GetAssociatedDisplayOutputId(NvDisplayHandle display, std::uint32_t* outputId);
// The EDID of the display on `outputId` of `gpu`, into a record whose version word is set.
NvStatus NvAPI_GPU_GetEDID(NvPhysicalGpuHandle gpu, std::uint32_t outputId, EdidRecordV3* edid);

// Interface ids of the four.
constexpr std::uint32_t EnumDisplayHandleId = 0x9ABDD40D;
constexpr std::uint32_t GpusFromDisplayId = 0x34EF9506;
constexpr std::uint32_t DisplayOutputIdId = 0xD995937E;
constexpr std::uint32_t GpuEdidId = 0x37D32E69;

} // namespace GpuQuery

#endif // DRIVERDISPLAYS_H
