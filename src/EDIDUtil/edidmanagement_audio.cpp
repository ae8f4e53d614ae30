// Placeholder: the EDID editor's audio, speakers and chromaticity.
#include "edidmanagement.h"

void EdidManagement::editAudio()
{
}

void EdidManagement::audioSettingChanged(bool checked)
{
    Q_UNUSED(checked)
}

void EdidManagement::addAudioToEDID(QString item)
{
    Q_UNUSED(item)
}

void EdidManagement::createYourOwnAudioFormat()
{
}

void EdidManagement::removeAudio()
{
}

void EdidManagement::clearAudioTable()
{
}

void EdidManagement::audioFormatRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(current)
    Q_UNUSED(previous)
}

void EdidManagement::speakerAllocChanged(bool checked)
{
    Q_UNUSED(checked)
}

void EdidManagement::chromaticitySelected(int index)
{
    Q_UNUSED(index)
}

void EdidManagement::storeChromaticity()
{
}

void EdidManagement::removeChromaticity()
{
}

void EdidManagement::chromaticityValueChanged()
{
}
