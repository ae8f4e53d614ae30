#ifndef DEVICE_H
#define DEVICE_H

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QtGlobal>

// A unit attached by serial port, HID or raw USB. Copied by value everywhere.
struct Device {
    QString name;          // text shown in the product list
    QString portName;      // serial port name, or "USB" for HID and raw-USB units
    quint32 productId = 0; // USB product id
    quint32 vendorId = 0;  // USB vendor id
    QString manufacturer;
    // 0 HID or raw-USB unit, 1..3 EDID test and booster units, 4..6 generic scalers,
    // 7 HDBaseT pair units, 8..10 splitters
    qint32 type = 0;

    bool operator==(const Device& other) const
    {
        return name == other.name && portName == other.portName && productId == other.productId
            && vendorId == other.vendorId && manufacturer == other.manufacturer && type == other.type;
    }
    bool operator!=(const Device& other) const { return !(*this == other); }
};

struct SerialPortEntry;

// A serial-port unit as the pages list it: the port's name, USB ids and manufacturer; the page
// fills in the name and type.
Device deviceOnPort(const SerialPortEntry& port);

// Two device lists are the same unit set when every entry matches on portName and type, in order.
bool sameDeviceList(const QList<Device>& a, const QList<Device>& b);

// An Ethernet unit found by discovery. Always on the heap, owned by Discovery, handed out by pointer.
// A flag beside a field means the unit reports the value but does not let it be changed.
struct _Device {
    quint8 mac[6] = {0, 0, 0, 0, 0, 0};
    quint8 ip[4] = {0, 0, 0, 0};
    bool ipFlag = false;
    quint8 subnetMask[4] = {0, 0, 0, 0};
    bool subnetMaskFlag = false;
    quint8 gateway[4] = {0, 0, 0, 0};
    bool gatewayFlag = false;
    quint8 dns[4] = {0, 0, 0, 0};
    bool dnsFlag = false;
    qint32 ipMode = 3; // 0 static, 1 DHCP, 2 Auto, 3 not reported
    bool ipModeFlag = false;
    bool ipModeFlag2 = false; // the unit offers the Auto mode
    quint16 webPort = 0;
    bool webPortFlag = false;
    quint16 telnetPort = 0;
    bool telnetPortFlag = false;
    QString extraText = QStringLiteral("Unavailable");
    QString firmwareVersion = QStringLiteral("Unavailable");
    QString hardwareVersion = QStringLiteral("Unavailable");
    QString productName = QStringLiteral("Unavailable");
    QString description = QStringLiteral("Unavailable");
    bool descriptionFlag = false;
    QString ipText;
    QString productPageUrl = QStringLiteral("Unavailable");
    qint32 showMeState = 0; // 0 off, 1 identifying, 2 not reported
    bool tlv16Seen = true;  // the unit accepts the reboot command
};

// Equality used by change detection: every field but mac and ipText.
bool deviceEquals(const _Device& a, const _Device& b);

// A unit's MAC address as a value: discovery and the hub key their records by it and find a unit
// by it; the text form is only for showing. All-zero is the null address (no unit has it: a
// reply without a MAC is dropped).
class MacAddress
{
public:
    MacAddress() = default;
    explicit MacAddress(const quint8 bytes[6]);
    explicit MacAddress(const _Device* unit);
    // Six two-digit hexadecimal groups joined by ":", either case; anything else gives null.
    static MacAddress fromText(const QString& text);
    static MacAddress fromUInt64(quint64 value); // the low 48 bits

    bool isNull() const { return m_value == 0; }
    quint64 toUInt64() const { return m_value; }
    QString toString() const; // as macToString
    bool operator==(const MacAddress& other) const { return m_value == other.m_value; }
    bool operator!=(const MacAddress& other) const { return m_value != other.m_value; }

private:
    quint64 m_value = 0;
};

inline uint qHash(const MacAddress& mac, uint seed = 0)
{
    return qHash(mac.toUInt64(), seed);
}

// "02:1C:9A:0A:FF:3E": six upper-case two-digit hexadecimal groups joined by ":".
QString macToString(const quint8 mac[6]);
QString macToString(const _Device* unit);

#endif // DEVICE_H
