#include "driverdisplays.h"

#include "driverinterfaces.h"

namespace GpuQuery {

NvStatus NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvDisplayHandle* display)
{
    return nvapiCall<EnumDisplayHandleId>(index, display);
}

NvStatus NvAPI_GetPhysicalGPUsFromDisplay(NvDisplayHandle display, NvPhysicalGpuHandle gpus[MaxPhysicalGpus],
                                          std::uint32_t* count)
{
    return nvapiCall<GpusFromDisplayId>(display, gpus, count);
}

NvStatus NvAPI_GetAssociatedDisplayOutputId(NvDisplayHandle display, std::uint32_t* outputId)
{
    return nvapiCall<DisplayOutputIdId>(display, outputId);
}

NvStatus NvAPI_GPU_GetEDID(NvPhysicalGpuHandle gpu, std::uint32_t outputId, EdidRecordV3* edid)
{
    return nvapiCall<GpuEdidId>(gpu, outputId, edid);
}

} // namespace GpuQuery
