#ifndef SORVANESIM_H
#define SORVANESIM_H

#include "hdbasetstream.h"
#include "simdevice.h"
#include "ymodemunitsim.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>

// An EDID test or booster unit on a pty: the DisplayPort unit (type 1), the HDMI booster
// (type 2), the HDMI test unit (type 3) or an HDBaseT pair unit (type 7).
//
// Lines end in "\r"; the unit echoes each line ("#cmd\r\n"), then answers text lines ending in
// "\r\n" and ">". Unknown commands get "Invalid command". It keeps a local EDID, a downstream
// EDID (empty: "Sink not detected"), banks 1 to 6 (7 on type 1) and default EDIDs.
//   "#show_ver_data"  banner with "Release version: <version>"; "#v2kver l" (type 7) "<unit> build"
//   "#rdstatus 1" "a" (type 7) start and stop the link-monitor stream (HDBaseTStream, a cycle a
//                     second; a receiver when the description holds "-R"); "#fw_upgrade" does not
//                     stop it
//   "#ddcmode"        "DDC mode: local hdcp enable" / "local hdcp disable" / "pass through"
//   "#eqstat"         "EQ level n,", "CDR on|off", "DE level n,"; "#maskout" "Video output masked|activated"
//   "#eq n" "#de n" "#cdr n" "#maskout n" "#ddcmode n"  set, "OK"; out of range: "Invalid value"
//   "#vstat"          two lines of video status; "#fadefault" resets the settings
//   "#prloedid" "#prdsedid" "#prbaedid n"   the EDID as a hex dump: type 1 seven heading lines,
//                     then lines of an address and 16 bytes; other types lines of 16 bytes
//   "#ediddstolo" "#ediddstoba n" "#edidbatolo n" "#ediddetolo [n]"  copies, "EDID copied"
//   "#saveloedid edid.bin"  "W", then sends the local EDID by YMODEM (block 0, 128-byte blocks
//                     below 1024 bytes, EOT, then a second EOT or the empty block 0)
//   "#loedidtolo" "#loedidtoba n"  "W", "C", takes a file by YMODEM, "Download successfully"
//   "#fw_upgrade"     the firmware receiver (below)
//
// Firmware receiver, written from the wire format: after the echo the unit prints a greeting line
// (its text holds "C"s inside words) and asks with "C", again every 2000 ms (ten times) while
// block 0 does not come. It takes block 0 (name NUL size NUL, zeros to its end, CRC-16), answers
// ACK and "C", takes 1024-byte blocks (number, complement and CRC-16 checked: a bad frame gets
// NAK, a repeat of the last block ACK; the last one padded with 0x1A, no block past the size),
// answers EOT with ACK and "C", the empty block 0 with ACK, and then prints its
// programming lines and "restart" as the script says. CAN CAN between frames ends the transfer.
// Faults are keyed like SimYmodemReceiver's: 0 block 0, n the n-th data block, Eot, Closing.
class SorvaneSim : public SimDevice
{
public:
    static constexpr int Eot = -1;
    static constexpr int Closing = -2;
    static constexpr int NoKey = -100;

    struct FirmwareScript {
        QByteArray greeting = QByteArrayLiteral("Firmware upgrade: send the image by YMODEM (CRC-16)\r\n");
        bool request = true;            // false: the unit never asks with "C"
        int requestIntervalMs = 2000;   // "C" again after this while block 0 does not come,
        int requestRepeats = 10;        // this many times
        bool requestAfterHeader = true;
        bool requestAfterEot = true;
        QMap<int, int> nak;             // key -> how many arrivals of it get NAK
        int silentAt = NoKey;           // from this key on the unit answers nothing
        int cancelAt = NoKey;           // this key is answered CAN CAN
        int vanishAt = NoKey;           // at this key the unit is unplugged (its pty closes)
        bool ackClosing = true;         // false: the closing block is taken but never answered
        // After the closing block: `progressLines` lines (-1: for ever), one every interval, then
        // `restartText` (empty: none), one character per `restartCharGapMs` when that is set.
        QByteArray progressLine = QByteArrayLiteral("Programming...\r\n");
        int progressLines = 2;
        int progressIntervalMs = 500;
        QByteArray restartText = QByteArrayLiteral("Update done, restart\r\n");
        int restartCharGapMs = 0;
    };
    struct FirmwareFile {
        QString name;
        qint64 size = 0;
        QByteArray data;   // cut to `size`
        int naks = 0;      // NAKs sent (faults and bad frames)
        int repeats = 0;   // blocks that came again after their ACK
        QStringList errors;
        bool complete = false; // the closing block was taken
    };

    struct SendScript {
        bool finalEot = true;       // the unit's ending; false: the empty block 0
        int duplicateBlock = 0;     // this data block goes out twice (its ACK "lost")
        int corruptBlock = 0;       // this data block goes out once with a wrong CRC
        int silentAfterBlock = -1;  // the unit stops talking after this block (0: after block 0)
        QByteArray sizeText;        // block 0's size field; empty: the file's size
    };

    explicit SorvaneSim(int type);
    ~SorvaneSim() override;

    static QString description(int type);
    bool start(const QString& description = QString());

    int type() const { return m_type; }
    void setVersion(const QString& version);
    void setEdid(const QString& store, const QByteArray& edid); // "LOCAL", "DS", "BANK n", "DEFAULT n"
    QByteArray edid(const QString& store) const;
    int setting(const QString& key) const; // "eq", "de", "cdr", "mask", "ddc"
    void setSetting(const QString& key, int value);
    void setSendScript(const SendScript& script);
    void setReceiveScript(const SimYmodemReceiver::Script& script);
    void setInvalidFor(const QByteArray& commandPrefix, int times); // answer "Invalid command" n times
    int transfers() const;

    // Firmware: the n-th "#fw_upgrade" runs scripts[n] (the last one for every later command).
    void setFirmwareScripts(const QList<FirmwareScript>& scripts);
    QList<FirmwareFile> firmwareFiles() const; // one per "#fw_upgrade", in order
    int firmwareCancels() const;               // CAN CAN heard from the program
    bool monitoring() const;                   // type 7: the link-monitor stream runs
    // Unplugging and plugging in: the unit's pty vanishes and comes back under the port name
    // given to setStablePortName (set before start()).
    void setStablePortName(const QString& path);
    void unplug();
    bool plugIn();

protected:
    bool handleLine(const QByteArray& line) override;
    void handleBytes(const QByteArray& data) override;

private:
    enum class Send { Off, WaitC0, WaitAck0, WaitC1, WaitAckBlock, WaitAckEot, WaitEnding, WaitAckEnding };
    void answer(const QByteArray& text);
    QByteArray dump(const QByteArray& edid) const;
    QByteArray frame(quint8 number, const QByteArray& data, bool corrupt = false) const;
    void sendBlock();
    void sendFeed(const QByteArray& data);
    void finishTransfer();
    enum class Fw { Off, Header, Data, Closing };
    void startFirmware();
    void askForHeader(int asked);
    void feedFirmware(const QByteArray& data);
    void firmwareFrame(const QByteArray& frame);
    bool firmwareFault(int key);
    void endFirmware();
    void programmingOutput(int line);
    void pushRestart(int from);

    const int m_type;
    // Simulator thread (or runOnSimThread) only.
    QString m_version = QStringLiteral("1.2");
    QMap<QString, QByteArray> m_edids;
    QMap<QString, int> m_settings;
    QMap<QByteArray, int> m_invalid;
    SendScript m_sendScript;
    Send m_send = Send::Off;
    QByteArray m_file;
    int m_block = 0;
    int m_blockSize = 128;
    bool m_duplicated = false;
    bool m_corrupted = false;
    bool m_receiving = false;
    QString m_receiveStore;
    SimYmodemReceiver m_receiver;
    std::atomic<int> m_transfers{0};
    QString m_description;
    std::unique_ptr<HDBaseTStream> m_monitor; // type 7
    QString m_stableName;
    QList<FirmwareScript> m_fwScripts{FirmwareScript()};
    FirmwareScript m_fw;               // the running transfer's
    Fw m_fwPhase = Fw::Off;
    bool m_fwGone = false;
    QByteArray m_fwBuffer;
    int m_fwBlocks = 0;
    QList<FirmwareFile> m_fwFiles;
    int m_fwCancels = 0;
};

#endif // SORVANESIM_H
