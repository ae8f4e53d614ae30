#ifndef DISCOVERYSIM_H
#define DISCOVERYSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

class QUdpSocket;

// One simulated Ethernet unit: what it reports in its reply to a scan.
struct SimUnit {
    quint8 mac[6] = {0x02, 0, 0, 0, 0, 0};
    quint8 ip[4] = {0, 0, 0, 0};
    quint8 subnetMask[4] = {255, 255, 255, 0};
    quint8 gateway[4] = {0, 0, 0, 0};
    quint8 dns[4] = {0, 0, 0, 0};
    int ipMode = 0;         // -1: not reported
    bool autoOffered = false; // the mode goes as type 25
    quint16 webPort = 80;   // 0: not reported
    quint16 telnetPort = 23;
    QString productName = QStringLiteral("Jovaris");
    QString firmwareVersion = QStringLiteral("1.0.0");
    QString hardwareVersion = QStringLiteral("A1");
    QString description = QStringLiteral("Rack 1");
    int identifyState = 0;  // -1: not reported
    bool acceptsReboot = true;
    QSet<int> readOnly;     // base types (2..8, 13) that go out as their read-only twins (17..24)
    QByteArray extraFields; // appended to the field area as they are

    // The unit number n (0..65535) on 10.77.x.y with MAC 02:00:00:00:hi:lo.
    static SimUnit numbered(int n);
    QString macText() const;
    QByteArray replyFields() const;
    QByteArray reply() const;
};

// Plays any number of Ethernet units that answer the discovery protocol, on the simulator
// thread of the framework. Every datagram the program sends is logged through the framework
// (requests(): one entry per datagram, its bytes as Latin-1), so waitForRequest() and
// requestCount() work on exact datagrams.
//
// The units answer every scan request (the broadcast and the group copy alike) with one reply
// each; a save changes the unit's settings (unless setApplySaves(false)), identify changes its
// identify state, reboot is only logged. Faults: a unit can stay silent for k scans, and
// datagrams (garbage, bad checksums, truncated replies) can be queued in front of the next
// replies or sent at once.
class DiscoverySim : public SimDevice
{
public:
    struct Network {
        int namespaceFd = -1;       // the simulator thread enters it first (-1: stay)
        QHostAddress listenAddress; // where the units hear requests
        QHostAddress replyAddress;  // where replies go
        QHostAddress groupAddress;  // joined when it is a multicast address
        QHostAddress otherHostBind; // the other PC's socket
        QHostAddress otherHostTarget; // where the other PC sends its scan request
        quint16 requestPort = 53355;
        quint16 replyPort = 53354;
        bool otherHostReachesUnits = true; // false: the units answer the other PC's scan directly
    };
    // Inside a namespace: requests on the any-address (broadcast and group), replies broadcast.
    static Network namespaceNetwork(int namespaceFd, const QString& ownAddress);
    // On loopback: the units listen on 127.0.0.2, the program on 127.0.0.1.
    static Network loopbackNetwork(quint16 requestPort, quint16 replyPort);

    DiscoverySim();
    ~DiscoverySim() override;

    bool start(const Network& network, QString* error = nullptr);

    void addUnit(const SimUnit& unit);
    void setUnits(const QList<SimUnit>& units);
    QList<SimUnit> units() const;
    SimUnit unit(int index) const;
    void changeUnit(int index, const std::function<void(SimUnit&)>& change);
    // The unit lets the next `scans` scans pass without a reply (-1: until told otherwise).
    void silence(int index, int scans);
    void setApplySaves(bool apply);
    // Replies of all units are spread evenly over this many device milliseconds (default 0).
    void setReplySpread(int ms);

    // Sent in front of the replies to the next scan, in this order.
    void queueBeforeNextReplies(const QList<QByteArray>& datagrams);
    // Sent to the program's reply port now.
    void sendToProgram(const QByteArray& datagram);
    // Another PC on the units' network scans: its request reaches the program's listening port
    // and the units, which answer it as they answer any scan.
    void scanAsOtherHost();

    int scanCount() const; // scans of the program; the two copies of one scan count once
    int repliesSent() const;
    bool waitForScans(int count, int timeoutMs = 10000) const;
    // Every datagram from the program that is no scan request (saves, reboots, identify).
    QList<QByteArray> commands() const;
    // The IP TTL of each datagram from the program that arrived addressed to the multicast group,
    // in order of arrival.
    QList<int> groupCopyTtls() const;

protected:
    bool handleLine(const QByteArray& datagram) override;

private:
    void readRequests();
    void answerScan();
    void applySave(const QByteArray& datagram);
    void applyIdentify(const QByteArray& datagram);
    int indexOfMac(const char* mac) const;
    void sendReply(const QByteArray& datagram);

    // Simulator thread only.
    Network m_network;
    QUdpSocket* m_requests = nullptr;
    QUdpSocket* m_replies = nullptr;
    QUdpSocket* m_otherHost = nullptr;
    QList<SimUnit> m_units;
    QList<int> m_silentScans; // scans left to miss; -1: until told otherwise
    QList<bool> m_silentNow;  // quiet during the scan running now
    QList<QByteArray> m_queued;
    QList<QByteArray> m_commands;
    bool m_applySaves = true;
    int m_spreadMs = 0;
    QElapsedTimer m_clock;
    qint64 m_lastScanMs = -1;
    int m_scans = 0;
    int m_repliesSent = 0;
    bool m_fromProgram = false;
    QList<int> m_groupTtls;
};

#endif // DISCOVERYSIM_H
