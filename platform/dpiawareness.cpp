#include "dpiawareness.h"

namespace Platform {
bool setProcessDpiUnaware()
{
    return false;
}
} // namespace Platform
