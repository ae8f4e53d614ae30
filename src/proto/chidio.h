#ifndef CHIDIO_H
#define CHIDIO_H

#include <QtGlobal>

#include <atomic>
#include <memory>

class HidBackend;
class HidHandle;

// One connection to a vendor HID unit: found by its vendor and product id, opened with one handle
// or with separate read and write handles, closed again. Reports are written whole; reading and
// matching replies to commands is CHidCmd's job. Every transfer blocks the caller for at most its
// time-out (scaled by TimeScale) and can be cut short by Cancel().
//
// The connection runs on a HidBackend: the one given to the constructor, else the one current
// when OpenDevice is called (hidapi in the program, a fake unit in tests).
class CHidIO
{
public:
    explicit CHidIO(HidBackend* backend = nullptr);
    virtual ~CHidIO();

    CHidIO(const CHidIO&) = delete;
    CHidIO& operator=(const CHidIO&) = delete;

    // Opens the first unit whose ids both match. True only when such a unit was found and every
    // handle it needs was opened; a connection still open from before is closed first.
    bool OpenDevice(bool twoHandles, quint16 vendorId, quint16 productId);
    // Writes `length` bytes (a whole report) on the write handle. `written` is set to 0 first and
    // to the count written on success. False when closed, on failure, on time-out or on cancel.
    bool WriteFile(const void* data, int length, quint32* written = nullptr, int timeout = 1000);
    // Closes the handles; nothing happens when the connection is already closed.
    void CloseDevice();
    // Makes the transfer waiting now, or else the next one, give up and report failure. Safe to
    // call from any thread. OpenDevice forgets a cancel that no transfer has seen.
    void Cancel();

    bool isOpen() const;
    bool twoHandles() const { return m_twoHandles; }

    // Waits up to `timeoutMs` (already scaled) for one input report on the read handle. Returns
    // its length, 0 when none arrived in time, or -1 when closed, failed or cancelled.
    int readReport(quint8* buffer, int size, int timeoutMs);

private:
    bool takeCancel();

    HidBackend* m_backend;
    std::shared_ptr<HidHandle> m_readHandle;
    std::shared_ptr<HidHandle> m_writeHandle; // the read handle itself in single-handle mode
    std::atomic<bool> m_cancelRequested{false};
    bool m_twoHandles = true;
};

#endif // CHIDIO_H
