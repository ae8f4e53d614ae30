#include "edidpluswin.h"

#include "monitoredids.h"
#include "sorvaneinterface.h"

// The viewer's own constructor builds the test-device page, handing it the monitor list.
EdidPlusWin::EdidPlusWin(Ui_MainUI* ui, QSerialPort* port)
    : EdidPlus(ui, port)
    , m_drmRoot(QStringLiteral("/sys/class/drm"))
{
    start();
}

EdidPlusWin::EdidPlusWin(Ui_MainUI* ui, SorvaneInterface* sorvane, const QString& drmRoot)
    : EdidPlus(ui, sorvane)
    , m_drmRoot(drmRoot)
{
    start();
}

void EdidPlusWin::start()
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
