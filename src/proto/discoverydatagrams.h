#ifndef DISCOVERYDATAGRAMS_H
#define DISCOVERYDATAGRAMS_H

#include "device.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// The discovery protocol of the Ethernet units: UDP datagrams of a command byte, the length N of
// a field area, N bytes of type-length-value fields and the 16-bit byte sum of the field area,
// low byte first. No widgets here; Discovery and the tests use it directly.
namespace DiscoveryProtocol {

enum Command : quint8 {
    ScanRequest = 0x20, // PC to units: every unit answers with a reply
    Reply = 0x21,       // unit to PC
    Save = 0x22,        // PC to one unit: network settings
    Reboot = 0x23,      // PC to one unit
    Identify = 0x24,    // PC to one unit: identify on or off
};

enum FieldType : quint8 {
    FieldMac = 1,
    FieldIp = 2,
    FieldSubnetMask = 3,
    FieldGateway = 4,
    FieldDns = 5,
    FieldIpMode = 6,
    FieldWebPort = 7,
    FieldTelnetPort = 8,
    FieldText = 9,
    FieldFirmwareVersion = 10,
    FieldHardwareVersion = 11,
    FieldProductName = 12,
    FieldDescription = 13,
    FieldIdentifyState = 15,
    FieldRebootAccepted = 16,
    // Read-only twins: the unit reports the value but does not let it be changed.
    FieldIpReadOnly = 17,
    FieldSubnetMaskReadOnly = 18,
    FieldGatewayReadOnly = 19,
    FieldDnsReadOnly = 20,
    FieldIpModeReadOnly = 21,
    FieldWebPortReadOnly = 22,
    FieldTelnetPortReadOnly = 23,
    FieldDescriptionReadOnly = 24,
    FieldIpModeAutoOffered = 25,
};

constexpr quint16 ReplyPort = 53354;   // replies arrive here
constexpr quint16 RequestPort = 53355; // requests and commands go here
constexpr int HeaderSize = 2;          // command byte and N
constexpr int TrailerSize = 2;         // byte sum
constexpr int MaxFieldArea = 255;
constexpr int DescriptionFieldSize = 30;
constexpr int MaxDescriptionLength = 29;

QString groupAddress(); // "225.87.32.145"

// A whole datagram around the given field area (at most 255 bytes; more is cut off).
QByteArray frame(quint8 command, const QByteArray& fields);
QByteArray scanRequest();
QByteArray rebootCommand(const quint8 mac[6]);
QByteArray identifyCommand(const quint8 mac[6], bool on);

// Builds a save command. The MAC field always comes first; the caller adds the other fields in
// the protocol's order: IP, mask, gateway, DNS, mode, web port, telnet port, description.
class SaveCommand
{
public:
    explicit SaveCommand(const quint8 mac[6]);

    void addAddress(FieldType type, const quint8 value[4]); // FieldIp .. FieldDns
    void addIpMode(quint8 mode);
    void addPort(FieldType type, quint16 port);             // FieldWebPort, FieldTelnetPort
    // At most 29 characters go out, Latin-1 (others as "?"), zero-filled to 30 bytes.
    void addDescription(const QString& text);

    QByteArray datagram() const;

private:
    void addField(quint8 type, const QByteArray& value);
    QByteArray m_fields;
};

enum class FrameCheck {
    Valid,
    TooShort,      // fewer than the 4 bytes of an empty frame
    LengthPastEnd, // N and the checksum do not fit into the datagram
    BadChecksum,
};
FrameCheck checkFrame(const char* data, int size);

enum class ReplyCheck {
    Valid,
    NotAReply, // another command byte
    TooShort,
    LengthPastEnd,
    BadChecksum,
    NoMac,     // no MAC field, or an all-zero one
};
// Decodes one received datagram into `unit`, which starts as a new record with the identify
// state 2 ("not reported") and the reboot flag clear. Nothing outside data[0 .. size-1] is read.
ReplyCheck decodeReply(const char* data, int size, _Device& unit);
// Decodes a field area into `unit`. A field whose value is shorter than the width it is read at
// is skipped; a field that runs past the end of the area ends the decoding.
void decodeFields(const char* area, int length, _Device& unit);

// A record with the defaults of a unit nothing is known about yet.
_Device newDevice();
// One character per byte (Latin-1), zero bytes included; a length below 1 gives an empty text.
QString bytesToString(const char* bytes, int length);
// Trimmed; any name that begins with "Kestrim" becomes "Kestrim".
QString normalizedProductName(const QString& raw);
// The search term of the product page: the name without a trailing "-R"/"-S", then without a
// trailing "-TX"/"-RX".
QString productPageTerm(const QString& productName);
QString productPageUrl(const QString& productName);
// "%1.%2.%3.%4" in decimal.
QString addressToString(const quint8 address[4]);
// Four decimal numbers 0-255 separated by "."; nothing else is accepted.
bool parseAddress(const QString& text, quint8 address[4]);

} // namespace DiscoveryProtocol

// Where discovery sends and listens. The standard values are the protocol's own. Tests that have
// no network namespace of their own point everything at loopback addresses and free ports, so no
// datagram leaves the machine; the environment variable PLEXA_DISCOVERY_NETWORK=loopback does the
// same for a whole process (reset() returns to what it gives).
struct DiscoveryNetwork {
    QHostAddress broadcastAddress = QHostAddress(QHostAddress::Broadcast);
    QHostAddress groupAddress = QHostAddress(DiscoveryProtocol::groupAddress());
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    quint16 replyPort = DiscoveryProtocol::ReplyPort;
    quint16 requestPort = DiscoveryProtocol::RequestPort;

    static DiscoveryNetwork current();
    static void setCurrent(const DiscoveryNetwork& network);
    static void reset();
};

#endif // DISCOVERYDATAGRAMS_H
