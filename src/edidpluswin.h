#ifndef EDIDPLUSWIN_H
#define EDIDPLUSWIN_H

#include "edidplus.h"

// The EDID viewer with the monitors' EDIDs read from the graphics drivers and the registry.
class EdidPlusWin : public EdidPlus
{
    Q_OBJECT

public:
    EdidPlusWin(Ui_MainUI* ui, QSerialPort* port);
    ~EdidPlusWin() override;

    void readGpuEdids() override;
};

#endif // EDIDPLUSWIN_H
