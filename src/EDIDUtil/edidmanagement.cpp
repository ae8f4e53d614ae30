// Placeholder: a later change replaces this skeleton with the real EDID editor.
#include "edidmanagement.h"

EdidManagement::EdidManagement(Ui_MainUI* ui, QList<EdidEntry>* monitorList)
    : QWidget(nullptr)
    , ui(ui)
{
    Q_UNUSED(monitorList)
}

EdidManagement::~EdidManagement() = default;

void EdidManagement::setTextEdit(QTextEdit* text)
{
    m_textEdit = text;
}

void EdidManagement::saveEDID() {}

void EdidManagement::editEDID() {}

void EdidManagement::undoEDID() {}

void EdidManagement::undoEDIDAll() {}

void EdidManagement::managementTabChanged(int index)
{
    Q_UNUSED(index)
}

void EdidManagement::videoInterfaceChanged() {}

void EdidManagement::digitalVideoInterfaceChanged() {}

void EdidManagement::edidSizeChanged(bool is128)
{
    Q_UNUSED(is128)
}

void EdidManagement::edidFileEdited() {}

void EdidManagement::addTimingToEDID(QString name)
{
    Q_UNUSED(name)
}

void EdidManagement::createYourOwnTiming() {}

void EdidManagement::moveUp() {}

void EdidManagement::moveDown() {}

void EdidManagement::editTiming() {}

void EdidManagement::removeTiming() {}

void EdidManagement::clearTimingTable() {}

void EdidManagement::horizontalPixelsChanged(QString text)
{
    Q_UNUSED(text)
}

void EdidManagement::verticalLinesChanged(QString text)
{
    Q_UNUSED(text)
}

void EdidManagement::refreshRateChanged(QString text)
{
    Q_UNUSED(text)
}

void EdidManagement::scanTypeChanged(QString text)
{
    Q_UNUSED(text)
}

void EdidManagement::timingRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(current)
    Q_UNUSED(previous)
}

void EdidManagement::clickHandlerColorDepth() {}

void EdidManagement::checkColorDepthDropdowns() {}

void EdidManagement::maxTMDSOptionChanged(bool automatic)
{
    Q_UNUSED(automatic)
}

void EdidManagement::chromaticitySelected(int index)
{
    Q_UNUSED(index)
}

void EdidManagement::storeChromaticity() {}

void EdidManagement::removeChromaticity() {}

void EdidManagement::chromaticityValueChanged() {}

void EdidManagement::audioSettingChanged(bool basicAudio)
{
    Q_UNUSED(basicAudio)
}

void EdidManagement::addAudioToEDID(QString name)
{
    Q_UNUSED(name)
}

void EdidManagement::createYourOwnAudioFormat() {}

void EdidManagement::editAudio() {}

void EdidManagement::removeAudio() {}

void EdidManagement::clearAudioTable() {}

void EdidManagement::audioFormatRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(current)
    Q_UNUSED(previous)
}

void EdidManagement::speakerAllocChanged(bool checked)
{
    Q_UNUSED(checked)
}

void EdidManagement::threeDOptionChanged(bool present)
{
    Q_UNUSED(present)
}

void EdidManagement::vic3DdropdownIndexChanged(int index)
{
    Q_UNUSED(index)
}

void EdidManagement::threeDTxFormatToggled() {}

void EdidManagement::vicMaskToggled() {}

void EdidManagement::enableHDRChanged(bool enabled)
{
    Q_UNUSED(enabled)
}
