#ifndef KORVINAUPDATER_H
#define KORVINAUPDATER_H

#include "nosetup.h"

class Ui_MainUI;
class HidBackend;
class HidHandle;

#include <QByteArray>
#include <QWidget>

#include <memory>

// Firmware updater of the Korvina KVM extender over USB HID. The firmware file is enciphered
// (AES-128, one key for its 16-byte header, another for its body blocks); the updater deciphers
// and checks it, finds the unit's boot loader (rebooting a running unit into it), streams the
// body in output reports between a start and an end feature report and then lets the boot
// loader go. It runs on the GUI thread; the waits are delay()s.
class KorvinaUpdater : public QWidget
{
    Q_OBJECT

public:
    explicit KorvinaUpdater(Ui_MainUI* ui);
    ~KorvinaUpdater() override;

    // The largest file the updater takes (and the room of its buffers).
    static constexpr int kBufferSize = 8 * 1024 * 1024;
    // Reboot requests the search sends to a unit that stays in normal mode before giving up.
    static constexpr int kMaxReboots = 3;

    // Reads, deciphers and checks firmwareFileName; "File Error." when it does not hold.
    bool OnSourceOpen();
    // Finds the unit and streams the body: 1 sent, 0 failed (the box has been shown).
    unsigned int SendUniFileProc();
    // Lets the boot loader go and shows the result; true when the leave report went through.
    bool exitBootLoader();
    // 1: the boot loader of a type-`type` unit is open in kvmDevice; 0: not found.
    int FindKvm(int type);
    bool openHidDevice(std::unique_ptr<HidHandle>& handle, quint16 vendorId, quint16 productId);

    static int velmoCheckSum(const quint8* data, int length);
    static void aesDecryptBlockKeyA(const quint8* source, quint8* destination);
    static void aesDecryptBlockKeyB(const quint8* source, quint8* destination);

    // The backend searched for units; nullptr: HidBackend::current().
    void setHidBackend(HidBackend* backend) { m_backend = backend; }

    const QByteArray& header() const { return fwHeader; }
    const QByteArray& body() const { return fwBodyBuffer; }
    int firmwareLength = 0;
    QString firmwareFileName;

signals:
    // False while an update holds the HID device, true again when it ends.
    void setUSBDiscover(bool isenable);

public slots:
    virtual void initiateFirmwareUpdate();

protected:
    KorvinaUpdater(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    HidBackend* backend() const;
    void status(const QString& text);
    void closeDevice();

    HidBackend* m_backend = nullptr;
    QByteArray fwHeader;     // the deciphered header (16 bytes)
    QByteArray fwFileBuffer; // the file as read
    QByteArray fwBodyBuffer; // the deciphered body, whole blocks
    std::unique_ptr<HidHandle> kvmDevice;
};

#endif // KORVINAUPDATER_H
