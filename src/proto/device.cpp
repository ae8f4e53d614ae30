#include "device.h"
#include "serialports.h"


#include <cstring>

namespace {
bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}
} // namespace

bool sameDeviceList(const QList<Device>& a, const QList<Device>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).portName != b.at(i).portName || a.at(i).type != b.at(i).type)
            return false;
    }
    return true;
}

bool deviceEquals(const _Device& a, const _Device& b)
{
    return std::memcmp(a.ip, b.ip, 4) == 0 && a.ipFlag == b.ipFlag
        && std::memcmp(a.subnetMask, b.subnetMask, 4) == 0 && a.subnetMaskFlag == b.subnetMaskFlag
        && std::memcmp(a.gateway, b.gateway, 4) == 0 && a.gatewayFlag == b.gatewayFlag
        && std::memcmp(a.dns, b.dns, 4) == 0 && a.dnsFlag == b.dnsFlag
        && a.ipMode == b.ipMode && a.ipModeFlag == b.ipModeFlag && a.ipModeFlag2 == b.ipModeFlag2
        && a.webPort == b.webPort && a.webPortFlag == b.webPortFlag
        && a.telnetPort == b.telnetPort && a.telnetPortFlag == b.telnetPortFlag
        && a.extraText == b.extraText && a.firmwareVersion == b.firmwareVersion
        && a.hardwareVersion == b.hardwareVersion && a.productName == b.productName
        && a.description == b.description && a.descriptionFlag == b.descriptionFlag
        && a.productPageUrl == b.productPageUrl && a.showMeState == b.showMeState
        && a.tlv16Seen == b.tlv16Seen;
}

QString macToString(const quint8 mac[6])
{
    QString text;
    text.reserve(17);
    for (int i = 0; i < 6; ++i) {
        if (i)
            text += QLatin1Char(':');
        text += QStringLiteral("%1").arg(mac[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString macToString(const _Device* unit)
{
    return unit ? macToString(unit->mac) : QString();
}

MacAddress::MacAddress(const quint8 bytes[6])
{
    for (int i = 0; i < 6; ++i)
        m_value = (m_value << 8) | bytes[i];
}

MacAddress::MacAddress(const _Device* unit)
{
    if (unit)
        *this = MacAddress(unit->mac);
}

MacAddress MacAddress::fromText(const QString& text)
{
    if (text.size() != 17)
        return MacAddress();
    quint8 bytes[6];
    for (int i = 0; i < 6; ++i) {
        const QChar high = text.at(3 * i);
        const QChar low = text.at(3 * i + 1);
        if (!isHexDigit(high) || !isHexDigit(low) || (i < 5 && text.at(3 * i + 2) != QLatin1Char(':')))
            return MacAddress();
        bytes[i] = quint8(text.midRef(3 * i, 2).toUInt(nullptr, 16));
    }
    return MacAddress(bytes);
}

MacAddress MacAddress::fromUInt64(quint64 value)
{
    MacAddress mac;
    mac.m_value = value & Q_UINT64_C(0xFFFFFFFFFFFF);
    return mac;
}

QString MacAddress::toString() const
{
    quint8 bytes[6];
    for (int i = 0; i < 6; ++i)
        bytes[i] = quint8(m_value >> (8 * (5 - i)));
    return macToString(bytes);
}

Device deviceOnPort(const SerialPortEntry& port)
{
    Device device;
    device.manufacturer = port.manufacturer;
    device.portName = port.portName;
    device.productId = port.productId;
    device.vendorId = port.vendorId;
    return device;
}
