#include "discoverydatagrams.h"

#include "checksums.h"
#include "endpoints.h"

#include <QStringList>

#include <cstring>

namespace DiscoveryProtocol {

namespace {

QByteArray macField(const quint8 mac[6])
{
    QByteArray field;
    field.append(char(FieldMac));
    field.append(char(6));
    field.append(reinterpret_cast<const char*>(mac), 6);
    return field;
}

quint16 readPort(const char* value)
{
    return quint16(quint8(value[0]) | (quint8(value[1]) << 8));
}

} // namespace

QString groupAddress()
{
    return QStringLiteral("225.87.32.145");
}

QByteArray frame(quint8 command, const QByteArray& fields)
{
    const QByteArray area = fields.left(MaxFieldArea);
    const quint16 sum = calcByteSum16(area.constData(), area.size());
    QByteArray datagram;
    datagram.reserve(HeaderSize + area.size() + TrailerSize);
    datagram.append(char(command));
    datagram.append(char(area.size()));
    datagram.append(area);
    datagram.append(char(sum & 0xFF));
    datagram.append(char(sum >> 8));
    return datagram;
}

QByteArray scanRequest()
{
    return frame(ScanRequest, QByteArray());
}

QByteArray rebootCommand(const quint8 mac[6])
{
    return frame(Reboot, macField(mac));
}

QByteArray identifyCommand(const quint8 mac[6], bool on)
{
    QByteArray fields = macField(mac);
    fields.append(char(FieldIdentifyState));
    fields.append(char(1));
    fields.append(char(on ? 1 : 0));
    return frame(Identify, fields);
}

// ---- SaveCommand ------------------------------------------------------------------------------

SaveCommand::SaveCommand(const quint8 mac[6])
    : m_fields(macField(mac))
{
}

void SaveCommand::addField(quint8 type, const QByteArray& value)
{
    m_fields.append(char(type));
    m_fields.append(char(value.size()));
    m_fields.append(value);
}

void SaveCommand::addAddress(FieldType type, const quint8 value[4])
{
    addField(type, QByteArray(reinterpret_cast<const char*>(value), 4));
}

void SaveCommand::addIpMode(quint8 mode)
{
    addField(FieldIpMode, QByteArray(1, char(mode)));
}

void SaveCommand::addPort(FieldType type, quint16 port)
{
    QByteArray value;
    value.append(char(port & 0xFF));
    value.append(char(port >> 8));
    addField(type, value);
}

void SaveCommand::addDescription(const QString& text)
{
    QByteArray value = text.left(MaxDescriptionLength).toLatin1();
    value.append(QByteArray(DescriptionFieldSize - value.size(), '\0'));
    addField(FieldDescription, value);
}

QByteArray SaveCommand::datagram() const
{
    return frame(Save, m_fields);
}

// ---- Receiving --------------------------------------------------------------------------------

FrameCheck checkFrame(const char* data, int size)
{
    if (!data || size < HeaderSize + TrailerSize)
        return FrameCheck::TooShort;
    const int n = quint8(data[1]);
    if (HeaderSize + n + TrailerSize > size)
        return FrameCheck::LengthPastEnd;
    const quint16 sum = calcByteSum16(data + HeaderSize, n);
    const quint16 sent = readPort(data + HeaderSize + n);
    return sum == sent ? FrameCheck::Valid : FrameCheck::BadChecksum;
}

ReplyCheck decodeReply(const char* data, int size, _Device& unit)
{
    if (!data || size < 1)
        return ReplyCheck::TooShort;
    if (quint8(data[0]) != Reply)
        return ReplyCheck::NotAReply;
    switch (checkFrame(data, size)) {
    case FrameCheck::Valid: break;
    case FrameCheck::TooShort: return ReplyCheck::TooShort;
    case FrameCheck::LengthPastEnd: return ReplyCheck::LengthPastEnd;
    case FrameCheck::BadChecksum: return ReplyCheck::BadChecksum;
    }
    unit = newDevice();
    unit.showMeState = 2;
    unit.tlv16Seen = false;
    decodeFields(data + HeaderSize, quint8(data[1]), unit);
    static const quint8 zero[6] = {0, 0, 0, 0, 0, 0};
    if (std::memcmp(unit.mac, zero, 6) == 0)
        return ReplyCheck::NoMac;
    return ReplyCheck::Valid;
}

void decodeFields(const char* area, int length, _Device& unit)
{
    int pos = 0;
    while (area && length - pos >= 2) {
        const quint8 type = quint8(area[pos]);
        const int len = quint8(area[pos + 1]);
        if (len > length - pos - 2)
            break; // runs past the end of the area: nothing after it can be trusted
        const char* value = area + pos + 2;
        pos += len + 2;

        auto address = [&](quint8* target, bool* flag, bool readOnly) {
            if (len < 4)
                return false;
            std::memcpy(target, value, 4);
            *flag = readOnly;
            return true;
        };
        auto ipMode = [&](bool readOnly, bool autoOffered) {
            if (len < 1)
                return;
            unit.ipMode = quint8(value[0]);
            unit.ipModeFlag = readOnly;
            unit.ipModeFlag2 = autoOffered;
        };
        auto port = [&](quint16* target, bool* flag, bool readOnly) {
            if (len < 2)
                return;
            *target = readPort(value);
            *flag = readOnly;
        };
        auto description = [&](bool readOnly) {
            unit.description = bytesToString(value, len);
            unit.descriptionFlag = readOnly;
        };

        switch (type) {
        case FieldMac:
            if (len >= 6)
                std::memcpy(unit.mac, value, 6);
            break;
        case FieldIp:
        case FieldIpReadOnly:
            if (address(unit.ip, &unit.ipFlag, type == FieldIpReadOnly))
                unit.ipText = addressToString(unit.ip);
            break;
        case FieldSubnetMask:
        case FieldSubnetMaskReadOnly:
            address(unit.subnetMask, &unit.subnetMaskFlag, type == FieldSubnetMaskReadOnly);
            break;
        case FieldGateway:
        case FieldGatewayReadOnly:
            address(unit.gateway, &unit.gatewayFlag, type == FieldGatewayReadOnly);
            break;
        case FieldDns:
        case FieldDnsReadOnly:
            address(unit.dns, &unit.dnsFlag, type == FieldDnsReadOnly);
            break;
        case FieldIpMode: ipMode(false, false); break;
        case FieldIpModeReadOnly: ipMode(true, false); break;
        case FieldIpModeAutoOffered: ipMode(false, true); break;
        case FieldWebPort:
        case FieldWebPortReadOnly:
            port(&unit.webPort, &unit.webPortFlag, type == FieldWebPortReadOnly);
            break;
        case FieldTelnetPort:
        case FieldTelnetPortReadOnly:
            port(&unit.telnetPort, &unit.telnetPortFlag, type == FieldTelnetPortReadOnly);
            break;
        case FieldText: unit.extraText = bytesToString(value, len); break;
        case FieldFirmwareVersion: unit.firmwareVersion = bytesToString(value, len); break;
        case FieldHardwareVersion: unit.hardwareVersion = bytesToString(value, len); break;
        case FieldProductName:
            unit.productName = normalizedProductName(bytesToString(value, len));
            unit.productPageUrl = productPageUrl(unit.productName);
            break;
        case FieldDescription: description(false); break;
        case FieldDescriptionReadOnly: description(true); break;
        case FieldIdentifyState:
            if (len >= 1 && (value[0] == 0 || value[0] == 1))
                unit.showMeState = value[0];
            break;
        case FieldRebootAccepted: unit.tlv16Seen = true; break;
        default: break; // unknown types are stepped over
        }
    }
}

_Device newDevice()
{
    return _Device();
}

QString bytesToString(const char* bytes, int length)
{
    if (!bytes || length < 1)
        return QString();
    return QString::fromLatin1(bytes, length);
}

QString normalizedProductName(const QString& raw)
{
    const QString name = raw.trimmed();
    if (name.startsWith(QLatin1String("Kestrim")))
        return QStringLiteral("Kestrim");
    return name;
}

QString productPageTerm(const QString& productName)
{
    QString term = productName;
    if (term.endsWith(QLatin1String("-R")) || term.endsWith(QLatin1String("-S")))
        term.chop(2);
    if (term.endsWith(QLatin1String("-TX")) || term.endsWith(QLatin1String("-RX")))
        term.chop(3);
    return term;
}

QString productPageUrl(const QString& productName)
{
    return Endpoints::productPageBaseUrl() + QStringLiteral("/search/node/") + productPageTerm(productName);
}

QString addressToString(const quint8 address[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
}

bool parseAddress(const QString& text, quint8 address[4])
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint8 result[4];
    for (int i = 0; i < 4; ++i) {
        const QString& part = parts.at(i);
        if (part.isEmpty() || part.size() > 3)
            return false;
        int value = 0;
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            value = value * 10 + (c.unicode() - '0');
        }
        if (value > 255)
            return false;
        result[i] = quint8(value);
    }
    std::memcpy(address, result, 4);
    return true;
}

} // namespace DiscoveryProtocol

// ---- DiscoveryNetwork -------------------------------------------------------------------------

namespace {
// PLEXA_DISCOVERY_NETWORK=loopback keeps every datagram on this machine: the sockets listen on
// 127.0.0.1 and requests go to 127.0.0.2. Test runs that build the real controller set it.
DiscoveryNetwork startingNetwork()
{
    DiscoveryNetwork network;
    if (qEnvironmentVariable("PLEXA_DISCOVERY_NETWORK") == QLatin1String("loopback")) {
        network.bindAddress = QHostAddress(QHostAddress::LocalHost);
        network.broadcastAddress = QHostAddress(QStringLiteral("127.0.0.2"));
        network.groupAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    }
    return network;
}

DiscoveryNetwork& replacedNetwork()
{
    static DiscoveryNetwork network = startingNetwork();
    return network;
}
} // namespace

DiscoveryNetwork DiscoveryNetwork::current()
{
    return replacedNetwork();
}

void DiscoveryNetwork::setCurrent(const DiscoveryNetwork& network)
{
    replacedNetwork() = network;
}

void DiscoveryNetwork::reset()
{
    replacedNetwork() = startingNetwork();
}
