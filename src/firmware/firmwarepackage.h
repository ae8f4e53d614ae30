#ifndef FIRMWAREPACKAGE_H
#define FIRMWAREPACKAGE_H

class QWidget;
class Ui_MainUI;

// The firmware-package browse of the second Update page (scaler families and the Caltor page):
// asks for a ".zip", copies it into the firmware folder (an older copy of the same name is
// replaced whole), shows the copy's path in both file fields and enables Install. A failed copy
// is reported and changes nothing.
void pickFirmwarePackage(QWidget* parent, Ui_MainUI* ui);

#endif // FIRMWAREPACKAGE_H
