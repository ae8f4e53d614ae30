#ifndef EDIDPLUSWIN_H
#define EDIDPLUSWIN_H

#include "edidplus.h"

#include <QString>

// The EDID viewer with the PC's monitor EDIDs. On Linux they come from the kernel: every
// connected connector's "edid" under the DRM class folder, with the NVIDIA display driver
// interface's copy of a monitor's EDID taking its place where it is the longer (see
// connectedMonitorEdids). AMD's display library is not available here.
class EdidPlusWin : public EdidPlus
{
    Q_OBJECT

public:
    EdidPlusWin(Ui_MainUI* ui, QSerialPort* port);
    // Over the given test-device controller (taken over), reading the monitors below `drmRoot`
    // in place of "/sys/class/drm". Tests pass a double and a fake sysfs tree.
    EdidPlusWin(Ui_MainUI* ui, SorvaneInterface* sorvane, const QString& drmRoot);
    ~EdidPlusWin() override;

    // Rereads the monitors' EDIDs; the list and the monitor drop-down change only when the
    // count, a name or an EDID's bytes changed.
    void readGpuEdids() override;

private:
    // The first monitor read, then the test-device page's link and poll.
    void start();

    QString m_drmRoot;
};

#endif // EDIDPLUSWIN_H
