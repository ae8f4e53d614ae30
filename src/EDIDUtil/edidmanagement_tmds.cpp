// Placeholder: the EDID editor's TMDS clock, colour depth and 4:2:0 rules.
#include "edidmanagement.h"

void EdidManagement::maxTMDSOptionChanged(bool autoChecked)
{
    Q_UNUSED(autoChecked)
}

void EdidManagement::computeTMDSClockAndRangeLimits()
{
}

void EdidManagement::tmdsPromotion(int row)
{
    Q_UNUSED(row)
}

void EdidManagement::checkColorDepthDropdowns()
{
}

void EdidManagement::clickHandlerColorDepth()
{
}

void EdidManagement::tmdsManualToAuto()
{
}
