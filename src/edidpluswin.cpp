// Placeholder: a later change replaces this skeleton with the real monitor EDID reader.
#include "edidpluswin.h"

EdidPlusWin::EdidPlusWin(Ui_MainUI* ui, QSerialPort* port)
    : EdidPlus(ui, port)
{
}

EdidPlusWin::~EdidPlusWin() = default;

void EdidPlusWin::readGpuEdids() {}
