#include "edidpluswin.h"

#include "monitoredids.h"
#include "sorvaneinterface.h"

EdidPlusWin::EdidPlusWin(Ui_MainUI* ui, QSerialPort* port)
    : EdidPlusWin(ui, new SorvaneInterface(ui, port), QStringLiteral("/sys/class/drm"))
{
}

EdidPlusWin::EdidPlusWin(Ui_MainUI* ui, SorvaneInterface* sorvane, const QString& drmRoot)
    : EdidPlus(ui, sorvane)
    , m_drmRoot(drmRoot)
{
    readGpuEdids();
    sorvaneInterface()->init();
}

EdidPlusWin::~EdidPlusWin() = default;

void EdidPlusWin::readGpuEdids()
{
    // Each run reads the whole set afresh from the kernel and the NVIDIA driver interface; a
    // connector that cannot be read is simply absent, and without the driver interface the
    // kernel's copies stand alone. AMD's display library is not available on this platform.
    setMonitorList(connectedMonitorEdids(m_drmRoot));
}
