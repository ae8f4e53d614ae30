// Caltor page: the "Device Information" dialog's Save: the unit's address, gateway and subnet
// mask go to the unit over serial, the unit reboots, and the network-module update runs.
#include "caltor.h"

#include "delay.h"
#include "deviceinfodialog.h"
#include "dialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

bool Caltor::isDottedQuad(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

bool Caltor::isSubnetMask(const QString& text)
{
    if (!isDottedQuad(text))
        return false;
    quint32 mask = 0;
    for (const QString& part : text.split(QLatin1Char('.')))
        mask = (mask << 8) | quint32(part.toInt());
    // One bits from the top, then only zero bits: the inverted mask plus one is a power of two.
    const quint32 hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
}

bool Caltor::validateUserInput(const QString& text, bool mask)
{
    if (mask ? isSubnetMask(text) : isDottedQuad(text))
        return true;
    Dialogs::warning(this, QStringLiteral("Update Failure"), QStringLiteral("The IP information is invalid."));
    return false;
}

void Caltor::handleDeviceInfoDialogSave()
{
    DeviceInfoDialog* dialog = deviceInfoDialog;
    if (!dialog || m_saving)
        return;
    const QString address = dialog->ipAddressEdit->text();
    const QString gateway = dialog->gatewayEdit->text();
    const QString subnet = dialog->subnetEdit->text();

    QString errors;
    if (!validateUserInput(address, false))
        errors += QStringLiteral("Device IP inputted is not valid. Please fix and try again.\n");
    if (!validateUserInput(gateway, false))
        errors += QStringLiteral("Device Gateway inputted is not valid. Please fix and try again.\n");
    if (!validateUserInput(subnet, true))
        errors += QStringLiteral("Device Subnet inputted is not valid. Please fix and try again.\n");
    if (!errors.isEmpty()) {
        Dialogs::critical(this, QStringLiteral("Error"), errors);
        return;
    }

    // One run at a time: the waits below keep the dialog live.
    m_saving = true;
    dialog->saveButton->setEnabled(false);
    const auto done = [this, dialog] {
        m_saving = false;
        if (deviceInfoDialog == dialog)
            dialog->saveButton->setEnabled(true);
    };

    sendSerialCommand(QStringLiteral("#SET_IP_ADDRESS ") + address);
    ipAddress = address;
    delay(500);
    sendSerialCommand(QStringLiteral("#SET_GATEWAY ") + gateway);
    delay(500);
    sendSerialCommand(QStringLiteral("#SET_SUBNET ") + subnet);
    delay(500);
    if (!rebootDevice()) {
        Dialogs::critical(this, QStringLiteral("Update Failed"),
                          QStringLiteral("Reboot failed after updating device IP, Gateway, and Subnet."));
        done();
        if (deviceInfoDialog == dialog)
            dialog->close();
        return;
    }
    initiate_TCP_FirmwareUpdate(tcpFirmwareFile);
    revertBaud();
    done();
}
