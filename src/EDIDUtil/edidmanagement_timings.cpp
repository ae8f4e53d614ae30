// Placeholder: the EDID editor's timings, VICs and 3D options.
#include "edidmanagement.h"

void EdidManagement::moveUp()
{
}

void EdidManagement::moveDown()
{
}

void EdidManagement::editTiming()
{
}

void EdidManagement::addTimingToEDID(QString item)
{
    Q_UNUSED(item)
}

void EdidManagement::createYourOwnTiming()
{
}

void EdidManagement::removeTiming()
{
}

void EdidManagement::clearTimingTable()
{
}

void EdidManagement::horizontalPixelsChanged(QString hPixels)
{
    Q_UNUSED(hPixels)
}

void EdidManagement::verticalLinesChanged(QString vLines)
{
    Q_UNUSED(vLines)
}

void EdidManagement::refreshRateChanged(QString rRate)
{
    Q_UNUSED(rRate)
}

void EdidManagement::scanTypeChanged(QString sType)
{
    Q_UNUSED(sType)
}

void EdidManagement::timingRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(current)
    Q_UNUSED(previous)
}

void EdidManagement::threeDOptionChanged(bool checked)
{
    Q_UNUSED(checked)
}

void EdidManagement::vic3DdropdownIndexChanged(int option)
{
    Q_UNUSED(option)
}

void EdidManagement::threeDTxFormatToggled()
{
}

void EdidManagement::vicMaskToggled()
{
}
