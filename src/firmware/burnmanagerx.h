#ifndef BURNMANAGERX_H
#define BURNMANAGERX_H

// The wireless extenders' firmware burner over raw USB (vendor 0x22CA, product 0x1111), free of
// widgets: the controller hands it the file, the kind of firmware and the unit, and shows what it
// reports through the two hooks.
//
// "APP" firmware is an Intel HEX file sent as framed bulk commands (out on endpoint 2, replies of
// up to 64 bytes on endpoint 0x81, byte 7 naming the command it answers): enter programming mode
// (0x94), prepare (0x8C) and wait for the unit's ready reply (0x93), one 0x8E block per HEX data
// record in ascending address order, then the closing commands 0x8F and 0x90.
//
// "MAC" firmware is a file of sections (a 33-byte header with its magic, type and payload
// lengths, then the payload), sent as vendor control requests 0x2D that the unit acknowledges one
// by one with the byte 0xE3: a start packet, the header and the two payload parts of the 0xFF
// section, then the payload of the receiver (0x96) or sender (0x97) section in 512-byte pieces.
//
// Every step that may be repeated has a limit; a failed step ends the burn with a message, and
// success is reported only when every piece went through. Between steps the event loop runs.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <string>

class UsbHandle;

class CBurnManagerX
{
public:
    static constexpr quint16 kVendorId = 0x22CA;
    static constexpr quint16 kProductId = 0x1111;
    static constexpr int kTransferTimeoutMs = 5000;

    // The unit's flash window that an "APP" image may fill.
    static constexpr quint32 kFlashStart = 0x08005800;
    static constexpr quint32 kFlashEnd = 0x080FF800; // first address past the window
    // A block's payload length travels in one byte beside 8 bytes of block header.
    static constexpr int kMaxRecordLength = 255 - 8;
    static constexpr qint64 kMaxHexFileBytes = 16 * 1024 * 1024;
    static constexpr qint64 kMaxMacFileBytes = 32 * 1024 * 1024;

    // How often a step is tried before the burn gives up.
    static constexpr int kCommandTries = 10;  // the prepare command (0x8C)
    static constexpr int kReadyReads = 30;    // reads waiting for the ready reply (0x93)
    static constexpr int kMacStepTries = 5;   // each "MAC" step that sends and is acknowledged
    static constexpr int kAckPolls = 20;      // reads waiting for one acknowledgement

    static constexpr int kMacHeaderSize = 33;
    static constexpr int kMacChunk = 512;

    // One section of a "MAC" file, as found by scanning it.
    struct MacSection {
        qint64 offset = -1; // of its header in the file; -1: the file has none of this type
        quint32 length1 = 0;
        quint32 length2 = 0; // the 0xFF section's second payload part
        bool found() const { return offset >= 0; }
    };
    struct MacLayout {
        bool ok = false;
        QString error; // what is wrong with the file (for the log)
        MacSection receiver; // type 0x96
        MacSection sender;   // type 0x97
        MacSection common;   // type 0xFF, sent ahead of either firmware
    };

    // What the burner tells the user (a modal "Status" box) and how far it has come (0..100).
    using MessageHook = std::function<void(const QString&)>;
    using ProgressHook = std::function<void(int)>;

    CBurnManagerX();
    ~CBurnManagerX();

    void setMessageHook(MessageHook hook) { m_message = std::move(hook); }
    void setProgressHook(ProgressHook hook) { m_progress = std::move(hook); }

    // The "APP" burn of the HEX file at `file`. `unitName` is the unit chosen on the update page;
    // it picks the wording of the programming-mode hint. True when every block went through.
    bool burnUsbBulk(const std::string& file, const QString& unitName);
    // The "MAC" burn of the section file at `file` for a sender or receiver unit.
    bool BurnMac(const std::string& file, const QString& unitName, bool isSender);

    // Reads and checks the HEX file into the image and its record map; the report or the fault
    // goes to standard output.
    bool openHexFile(const char* path);
    // Sends one bulk command and reads its reply; true when the reply names the command.
    bool sendUsbCommand(quint8 command, quint32 address, UsbHandle* handle);

    // The image from kFlashStart (0xFF where nothing was placed) and its records: start address
    // -> byte count, in ascending address order.
    const QByteArray& hexImage() const { return m_hexImage; }
    const QMap<quint32, int>& hexRecords() const { return m_hexRecords; }
    quint32 hexMinAddress() const { return m_hexMinAddress; }
    quint32 hexMaxAddress() const { return m_hexMaxAddress; }

    // XOR of the bytes in [begin, end); 0 when begin lies after end.
    static quint8 xorChecksum(const quint8* begin, const quint8* end);
    // 0xAA 0xBB, the command, the payload length, the payload, the XOR of all of it.
    static QByteArray commandPacket(quint8 command, const QByteArray& payload = QByteArray());
    // Finds the sections of a "MAC" file and checks each against the file's size.
    static MacLayout scanMacFile(const QByteArray& file);
    // The 36-byte packet that opens a "MAC" burn of the section at `sectionOffset`.
    static QByteArray macStartPacket(const QByteArray& file, qint64 sectionOffset);
    // Whether the unit is a receiver, by the unit name of the update page.
    static bool isReceiverUnit(const QString& unitName);

private:
    std::unique_ptr<UsbHandle> openUnit();
    void message(const QString& text);
    void progress(int percent);
    QByteArray blockPayload(quint32 address) const;
    bool readReady(UsbHandle* handle);
    // One acknowledgement read: 1 when it is 0xE3, 0 when it is not, -1 when the unit has gone.
    int readAck(UsbHandle* handle);
    bool ackWithin(UsbHandle* handle, int polls);
    // Sends the first `length` bytes of the transfer buffer and reads the acknowledgement.
    enum class Step { Done, Retry, Gone };
    Step sendAcknowledged(UsbHandle* handle, int length, const QString& shortText);

    MessageHook m_message;
    ProgressHook m_progress;
    QByteArray m_hexImage;
    QMap<quint32, int> m_hexRecords;
    quint32 m_hexMinAddress = kFlashEnd;
    quint32 m_hexMaxAddress = 0;
    QByteArray m_transfer; // the 512-byte transfer buffer of a "MAC" burn
    bool m_unitGone = false;
};

#endif // BURNMANAGERX_H
