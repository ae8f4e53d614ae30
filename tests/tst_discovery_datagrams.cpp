// The discovery datagrams byte for byte, the reply parser's rules (later fields overwrite
// earlier ones, read-only twins, skipped and malformed fields), and the small pure helpers of the
// device table and the settings pane.
#include "discovery.h"
#include "discoverydatagrams.h"
#include "endpoints.h"
#include "plexatest.h"

#include <QRandomGenerator>

#include <cstring>
#include <memory>

using namespace DiscoveryProtocol;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Frames a field area as a unit's reply, with a correct byte sum.
QByteArray replyWith(const QByteArray& area)
{
    quint16 sum = 0;
    for (char c : area)
        sum = quint16(sum + quint8(c));
    return QByteArray(1, char(0x21)) + char(area.size()) + area + char(sum & 0xFF) + char(sum >> 8);
}

const QByteArray kMacField = hex("01 06 02 1C 9A 0A FF 3E");

// Every field of a record in one line, so a table row states the whole outcome.
QString describe(const _Device& d)
{
    auto flag = [](bool f) { return f ? QStringLiteral("/ro") : QString(); };
    return QStringLiteral("ip=%1%2 mask=%3%4 gw=%5%6 dns=%7%8 mode=%9%10%11 web=%12%13 telnet=%14%15 "
                          "text=%16 fw=%17 hw=%18 name=%19 desc=%20%21 iptext=%22 show=%23 reboot=%24")
        .arg(addressToString(d.ip), flag(d.ipFlag), addressToString(d.subnetMask), flag(d.subnetMaskFlag),
             addressToString(d.gateway), flag(d.gatewayFlag), addressToString(d.dns), flag(d.dnsFlag))
        .arg(d.ipMode)
        .arg(flag(d.ipModeFlag), d.ipModeFlag2 ? QStringLiteral("/auto") : QString())
        .arg(d.webPort)
        .arg(flag(d.webPortFlag))
        .arg(d.telnetPort)
        .arg(flag(d.telnetPortFlag), d.extraText, d.firmwareVersion, d.hardwareVersion, d.productName,
             d.description, flag(d.descriptionFlag), d.ipText)
        .arg(d.showMeState)
        .arg(d.tlv16Seen ? 1 : 0);
}

// What a reply with only the MAC field gives; rows below state their differences from it.
const QString kBare = QStringLiteral(
    "ip=0.0.0.0 mask=0.0.0.0 gw=0.0.0.0 dns=0.0.0.0 mode=3 web=0 telnet=0 text=Unavailable fw=Unavailable "
    "hw=Unavailable name=Unavailable desc=Unavailable iptext= show=2 reboot=0");

QString bareWith(const QString& from, const QString& to)
{
    QString text = kBare;
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}

} // namespace

class TestDiscoveryDatagrams : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Endpoints::setServer(QString()); }

    void outgoing_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("expected");
        const quint8 unit[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        const quint8 other[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, 0x3E};

        QTest::newRow("scan request") << scanRequest() << hex("20 00 00 00");
        QTest::newRow("reboot") << rebootCommand(other) << hex("23 08 01 06 02 1C 9A 0A FF 3E 06 02");
        QTest::newRow("identify on") << identifyCommand(unit, true)
                                     << hex("24 0B 01 06 02 00 00 00 00 01 0F 01 01 1B 00");
        QTest::newRow("identify off") << identifyCommand(unit, false)
                                      << hex("24 0B 01 06 02 00 00 00 00 01 0F 01 00 1A 00");

        SaveCommand full(unit);
        const quint8 ip[4] = {192, 168, 1, 50}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 1, 1},
                     dns[4] = {8, 8, 8, 8};
        full.addAddress(FieldIp, ip);
        full.addAddress(FieldSubnetMask, mask);
        full.addAddress(FieldGateway, gw);
        full.addAddress(FieldDns, dns);
        full.addIpMode(0);
        full.addPort(FieldWebPort, 8080);
        full.addPort(FieldTelnetPort, 23);
        full.addDescription(QStringLiteral("Lobby"));
        QTest::newRow("save, every field (79 bytes)")
            << full.datagram()
            << hex("22 4b 01 06 02 00 00 00 00 01 02 04 c0 a8 01 32 03 04 ff ff ff 00 04 04 c0 a8 01 01 05 04 08 08 08 08"
                   " 06 01 00 07 02 90 1f 08 02 17 00 0d 1e 4c 6f 62 62 79 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                   " 00 00 00 00 00 00 00 00 00 00 4d 09");

        SaveCommand dhcp(unit);
        const quint8 dns2[4] = {1, 1, 1, 1};
        dhcp.addAddress(FieldDns, dns2);
        dhcp.addIpMode(1);
        QTest::newRow("save, DHCP with DNS only")
            << dhcp.datagram() << hex("22 11 01 06 02 00 00 00 00 01 05 04 01 01 01 01 06 01 01 1f 00");

        SaveCommand macOnly(unit);
        QTest::newRow("save, MAC only") << macOnly.datagram() << hex("22 08 01 06 02 00 00 00 00 01 0A 00");
    }

    void outgoing()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, expected);
        QCOMPARE(datagram.toHex(' '), expected.toHex(' '));
    }

    // The 30-byte description field: at most 29 characters, Latin-1, then zero bytes.
    void saveDescription_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("short") << "AB" << QByteArray("AB") + QByteArray(28, '\0');
        QTest::newRow("29 characters") << QString(29, QLatin1Char('x')) << QByteArray(29, 'x') + QByteArray(1, '\0');
        QTest::newRow("40 characters cut to 29") << QString(40, QLatin1Char('y'))
                                                  << QByteArray(29, 'y') + QByteArray(1, '\0');
        QTest::newRow("Latin-1 kept, others as ?") << QStringLiteral("Caf\u00e9 \u2192")
                                                    << QByteArray("Caf\xe9 ?") + QByteArray(24, '\0');
    }

    void saveDescription()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        const quint8 mac[6] = {2, 0, 0, 0, 0, 1};
        SaveCommand command(mac);
        command.addDescription(text);
        const QByteArray datagram = command.datagram();
        QCOMPARE(datagram.size(), 4 + 8 + 32);
        QCOMPARE(datagram.mid(10, 2), hex("0D 1E"));
        QCOMPARE(datagram.mid(12, 30).toHex(' '), field.toHex(' '));
        QCOMPARE(checkFrame(datagram.constData(), datagram.size()), FrameCheck::Valid);
    }

    // Field area after the MAC field -> the whole record.
    void parser_data()
    {
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<QString>("expected");

        QTest::newRow("MAC only") << QByteArray() << kBare;
        QTest::newRow("IP") << hex("02 04 0A 00 00 09")
                            << bareWith("ip=0.0.0.0 ", "ip=10.0.0.9 ").replace("iptext=", "iptext=10.0.0.9");
        QTest::newRow("read-only IP, then writable IP: last wins, flag cleared")
            << hex("11 04 0A 00 00 01 02 04 0A 00 00 02")
            << bareWith("ip=0.0.0.0 ", "ip=10.0.0.2 ").replace("iptext=", "iptext=10.0.0.2");
        QTest::newRow("writable IP, then read-only IP")
            << hex("02 04 0A 00 00 01 11 04 0A 00 00 02")
            << bareWith("ip=0.0.0.0 ", "ip=10.0.0.2/ro ").replace("iptext=", "iptext=10.0.0.2");
        QTest::newRow("read-only mask, gateway, DNS")
            << hex("12 04 FF FF 00 00 13 04 0A 00 00 FE 14 04 08 08 04 04")
            << bareWith("mask=0.0.0.0 gw=0.0.0.0 dns=0.0.0.0", "mask=255.255.0.0/ro gw=10.0.0.254/ro dns=8.8.4.4/ro");
        QTest::newRow("mode read-only, then plain mode clears it") << hex("15 01 01 06 01 00")
                                                                    << bareWith("mode=3", "mode=0");
        QTest::newRow("mode read-only") << hex("15 01 01") << bareWith("mode=3", "mode=1/ro");
        QTest::newRow("mode with Auto offered") << hex("19 01 02") << bareWith("mode=3", "mode=2/auto");
        QTest::newRow("ports, low byte first; read-only twins")
            << hex("16 02 90 1F 17 02 17 00") << bareWith("web=0 telnet=0", "web=8080/ro telnet=23/ro");
        QTest::newRow("port field longer than 2 bytes reads the first two")
            << hex("07 04 50 00 FF FF") << bareWith("web=0", "web=80");
        QTest::newRow("texts, zero bytes kept")
            << hex("09 03 41 00 42 0A 03 31 2E 30 0B 02 48 31 0D 04 48 61 6C 6C")
            << bareWith("text=Unavailable fw=Unavailable hw=Unavailable", QStringLiteral("text=A") + QChar(0)
                            + QStringLiteral("B fw=1.0 hw=H1"))
                   .replace("desc=Unavailable", "desc=Hall");
        QTest::newRow("read-only description") << hex("18 02 48 69") << bareWith("desc=Unavailable", "desc=Hi/ro");
        QTest::newRow("identify state 1") << hex("0F 01 01") << bareWith("show=2", "show=1");
        QTest::newRow("identify state 0") << hex("0F 01 00") << bareWith("show=2", "show=0");
        QTest::newRow("identify state 5 is ignored") << hex("0F 01 05") << kBare;
        QTest::newRow("reboot accepted, empty value") << hex("10 00") << bareWith("reboot=0", "reboot=1");
        QTest::newRow("reboot accepted, any value") << hex("10 03 01 02 03") << bareWith("reboot=0", "reboot=1");
        QTest::newRow("unknown types 0, 14, 26, 255 are stepped over")
            << hex("00 01 AA 0E 02 BB CC 1A 00 FF 03 01 02 03 02 04 0A 00 00 09")
            << bareWith("ip=0.0.0.0 ", "ip=10.0.0.9 ").replace("iptext=", "iptext=10.0.0.9");
        // Malformed fields: nothing is read outside the datagram.
        QTest::newRow("IP field of 3 bytes is skipped, the next one still read")
            << hex("02 03 0A 00 00 07 02 50 00") << bareWith("web=0", "web=80");
        QTest::newRow("identify field without a value is skipped") << hex("0F 00") << kBare;
        QTest::newRow("mode field without a value is skipped") << hex("06 00") << kBare;
        QTest::newRow("port of 1 byte is skipped") << hex("08 01 17") << kBare;
        QTest::newRow("field running past the end ends the decoding")
            << hex("07 02 50 00 0D 09 41 42") << bareWith("web=0", "web=80");
        QTest::newRow("lone type byte at the end") << hex("07 02 50 00 0D") << bareWith("web=0", "web=80");
    }

    void parser()
    {
        QFETCH(QByteArray, fields);
        QFETCH(QString, expected);
        const QByteArray datagram = replyWith(kMacField + fields);
        _Device unit;
        QCOMPARE(decodeReply(datagram.constData(), datagram.size(), unit), ReplyCheck::Valid);
        QCOMPARE(macToString(&unit), QStringLiteral("02:1C:9A:0A:FF:3E"));
        QCOMPARE(describe(unit), expected);
    }

    void productName_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("term");
        QTest::newRow("trimmed") << "  Jovaris 4K \t" << "Jovaris 4K" << "Jovaris 4K";
        QTest::newRow("Kestrim family") << " Kestrim Pro X2  " << "Kestrim" << "Kestrim";
        QTest::newRow("kestrim in lower case is no Kestrim") << "kestrim" << "kestrim" << "kestrim";
        QTest::newRow("-S") << "Norrith-S" << "Norrith-S" << "Norrith";
        QTest::newRow("-TX-R loses -R, then -TX") << "Surrow-TX-R" << "Surrow-TX-R" << "Surrow";
        QTest::newRow("-RX") << "Surrow-RX" << "Surrow-RX" << "Surrow";
        QTest::newRow("-S-TX loses only -TX") << "Surrow-S-TX" << "Surrow-S-TX" << "Surrow-S";
        QTest::newRow("-R-R loses one -R") << "Zarrick-R-R" << "Zarrick-R-R" << "Zarrick-R";
    }

    void productName()
    {
        QFETCH(QString, reported);
        QFETCH(QString, name);
        QFETCH(QString, term);
        const QByteArray text = reported.toLatin1();
        const QByteArray datagram = replyWith(kMacField + char(FieldProductName) + char(text.size()) + text);
        _Device unit;
        QCOMPARE(decodeReply(datagram.constData(), datagram.size(), unit), ReplyCheck::Valid);
        QCOMPARE(unit.productName, name);
        QCOMPARE(unit.productPageUrl, Endpoints::productPageBaseUrl() + QStringLiteral("/search/node/") + term);
    }

    void replyChecks_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("check");
        const QByteArray good = replyWith(kMacField);
        QByteArray badSum = good;
        badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
        QByteArray nPastEnd = good;
        nPastEnd[1] = char(good.size()); // N + 4 > size
        QTest::newRow("valid") << good << int(ReplyCheck::Valid);
        QTest::newRow("empty") << QByteArray() << int(ReplyCheck::TooShort);
        QTest::newRow("3 bytes") << hex("21 00 00") << int(ReplyCheck::TooShort);
        QTest::newRow("scan request") << scanRequest() << int(ReplyCheck::NotAReply);
        QTest::newRow("empty area, sum 0") << hex("21 00 00 00") << int(ReplyCheck::NoMac);
        QTest::newRow("all-zero MAC") << replyWith(hex("01 06 00 00 00 00 00 00")) << int(ReplyCheck::NoMac);
        QTest::newRow("short MAC field") << replyWith(hex("01 05 02 1C 9A 0A FF")) << int(ReplyCheck::NoMac);
        QTest::newRow("wrong checksum") << badSum << int(ReplyCheck::BadChecksum);
        QTest::newRow("N past the end") << nPastEnd << int(ReplyCheck::LengthPastEnd);
        QTest::newRow("checksum cut off") << good.left(good.size() - 1) << int(ReplyCheck::LengthPastEnd);
        QTest::newRow("trailing bytes after the checksum are ignored") << good + hex("00 00") << int(ReplyCheck::Valid);
    }

    void replyChecks()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, check);
        _Device unit;
        QCOMPARE(int(decodeReply(datagram.constData(), datagram.size(), unit)), check);
    }

    // Truncations, bad lengths and random bytes, each decoded from a buffer of exactly its size,
    // so the sanitizer sees any read past the end.
    void malformedDatagrams()
    {
        const QByteArray full = replyWith(kMacField + hex("02 04 0A 00 00 09 07 02 50 00 0C 05 4A 6F 76 61 72 0F 01 01 10 00"));
        QList<QByteArray> cases;
        for (int size = 0; size <= full.size(); ++size)
            cases.append(full.left(size));
        for (int i = 1; i < full.size() - 2; ++i) {
            for (int delta : {1, 2, 0x7F, 0xFF}) {
                QByteArray bent = full;
                bent[i] = char(quint8(bent.at(i)) + delta);
                cases.append(bent);
                // Re-sum the area so the checksum does not reject it before the fields are read.
                cases.append(replyWith(bent.mid(2, quint8(full.at(1)))));
            }
        }
        QRandomGenerator random(20240611);
        for (int i = 0; i < 20000; ++i) {
            const int n = int(random.bounded(0, 64));
            QByteArray area(n, '\0');
            for (char& c : area)
                c = char(random.bounded(0, 256));
            // Mostly plausible type bytes, so the field decoders themselves get exercised.
            for (int p = 0; p + 1 < n; p += 2 + int(random.bounded(0, 8)))
                area[p] = char(random.bounded(0, 27));
            const QByteArray datagram = replyWith(kMacField + area);
            cases.append(datagram);
            cases.append(datagram.left(int(random.bounded(0, datagram.size() + 1))));
        }

        int valid = 0;
        for (const QByteArray& datagram : qAsConst(cases)) {
            std::unique_ptr<char[]> exact(new char[size_t(qMax(1, datagram.size()))]);
            std::memcpy(exact.get(), datagram.constData(), size_t(datagram.size()));
            _Device unit;
            const ReplyCheck check = decodeReply(exact.get(), datagram.size(), unit);
            if (check == ReplyCheck::Valid)
                ++valid;
            // A datagram shorter than N + 4 is never taken.
            if (datagram.size() >= 2 && datagram.size() < quint8(datagram.at(1)) + 4)
                QVERIFY(check != ReplyCheck::Valid);
        }
        QVERIFY(valid > 10000); // most random areas still carry the MAC field in front
    }

    void parseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // empty: refused
        QTest::newRow("plain") << "192.168.1.10" << "192.168.1.10";
        QTest::newRow("zeros") << "0.0.0.0" << "0.0.0.0";
        QTest::newRow("top") << "255.255.255.255" << "255.255.255.255";
        QTest::newRow("blanks around") << " 10.0.0.1 " << "10.0.0.1";
        QTest::newRow("leading zeros") << "010.001.0.7" << "10.1.0.7";
        QTest::newRow("256") << "256.1.1.1" << "";
        QTest::newRow("999") << "1.2.3.999" << "";
        QTest::newRow("three parts") << "1.2.3" << "";
        QTest::newRow("five parts") << "1.2.3.4.5" << "";
        QTest::newRow("empty part") << "1..2.3" << "";
        QTest::newRow("letters") << "a.b.c.d" << "";
        QTest::newRow("sign") << "+1.2.3.4" << "";
        QTest::newRow("negative") << "-1.2.3.4" << "";
        QTest::newRow("inner blank") << "1. 2.3.4" << "";
        QTest::newRow("four digits") << "0001.2.3.4" << "";
        QTest::newRow("empty") << "" << "";
    }

    void parseAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        quint8 address[4] = {9, 9, 9, 9};
        const bool ok = DiscoveryProtocol::parseAddress(text, address);
        QCOMPARE(ok, !parsed.isEmpty());
        QCOMPARE(addressToString(address), ok ? parsed : QStringLiteral("9.9.9.9"));
    }

    void ipColumnOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("less");
        QTest::newRow("9 before 10") << "10.0.0.9" << "10.0.0.10" << true;
        QTest::newRow("10 after 9") << "10.0.0.10" << "10.0.0.9" << false;
        QTest::newRow("first octet first") << "9.255.255.255" << "10.0.0.0" << true;
        QTest::newRow("equal") << "10.0.0.1" << "10.0.0.1" << false;
        QTest::newRow("address before text") << "10.0.0.1" << "n/a" << true;
        QTest::newRow("text after address") << "n/a" << "10.0.0.1" << false;
    }

    void ipColumnOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, less);
        QCOMPARE(CTableWidgetItem(a) < CTableWidgetItem(b), less);
    }
};

PLEXA_TEST_MAIN(TestDiscoveryDatagrams)
#include "tst_discovery_datagrams.moc"
