// Placeholder: the EDID editor's core (construction, page state, files, edit mode, undo).
#include "edidmanagement.h"

EdidManagement::EdidManagement(Ui_MainUI* ui, QList<EdidEntry>* monitorList)
    : QWidget(nullptr)
    , ui(ui)
{
    Q_UNUSED(monitorList)
}

EdidManagement::~EdidManagement() = default;

void EdidManagement::setTextEdit(QTextEdit* view)
{
    descriptionView = view;
}

void EdidManagement::setDiffMode(bool on)
{
    Q_UNUSED(on)
}

void EdidManagement::displayEDID(QString name)
{
    Q_UNUSED(name)
}

void EdidManagement::importEDID()
{
}

void EdidManagement::refreshEditView()
{
}

void EdidManagement::showDiff()
{
}

void EdidManagement::setEDIDText()
{
}

void EdidManagement::updateEDID()
{
}

void EdidManagement::initNewEDID()
{
}

void EdidManagement::parseEDID()
{
}

void EdidManagement::clearEDID()
{
}

void EdidManagement::refreshEDID()
{
}

void EdidManagement::resetHistory()
{
}

void EdidManagement::enableEditButtons(bool enabled)
{
    Q_UNUSED(enabled)
}

void EdidManagement::resetParsedLists()
{
}

void EdidManagement::saveEDID()
{
}

void EdidManagement::editEDID()
{
}

void EdidManagement::videoInterfaceChanged()
{
}

void EdidManagement::digitalVideoInterfaceChanged()
{
}

void EdidManagement::edidSizeChanged(bool oneBlock)
{
    Q_UNUSED(oneBlock)
}

void EdidManagement::edidFileEdited()
{
}

void EdidManagement::managementTabChanged(int tabIndex)
{
    Q_UNUSED(tabIndex)
}

void EdidManagement::enable420CapabilityMap(bool setTo)
{
    Q_UNUSED(setTo)
}

void EdidManagement::enable420VideoBlock(bool setTo)
{
    Q_UNUSED(setTo)
}

void EdidManagement::enableHDRChanged(bool checked)
{
    Q_UNUSED(checked)
}

void EdidManagement::undoEDID()
{
}

void EdidManagement::undoEDIDAll()
{
}
