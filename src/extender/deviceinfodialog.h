#ifndef DEVICEINFODIALOG_H
#define DEVICEINFODIALOG_H

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;
class QPushButton;

// "Device Information": the serial/TCP extender's IP address, gateway and subnet mask, typed
// before its network module is updated. The Caltor page connects Save and does the work; Close
// only hides the dialog.
class DeviceInfoDialog : public QDialog
{
public:
    explicit DeviceInfoDialog(QWidget* parent = nullptr);

    QPushButton* saveButton = nullptr;
    QLineEdit* ipAddressEdit = nullptr;
    QLineEdit* gatewayEdit = nullptr;
    QLineEdit* subnetEdit = nullptr;
    QDialogButtonBox* buttonBox = nullptr;
    QPushButton* closeButton = nullptr;

private:
    void createWidgets();
    void createLayout();
};

#endif // DEVICEINFODIALOG_H
