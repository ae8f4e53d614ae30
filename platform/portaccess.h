#ifndef PORTACCESS_H
#define PORTACCESS_H

// Why a port could not be opened, when the reason is that the user may not: on Linux a normal
// user may not open serial adapters (group "dialout"), hidraw nodes or raw USB devices until the
// udev rules shipped with the program are installed. Each family adds the hint these functions
// give to the message it already shows when an open fails; the hint is empty for every other
// reason (the port has gone, another program holds it, the user is root).

#include <QByteArray>
#include <QString>

class QSerialPort;

namespace PortAccess {

enum class Kind { Serial, Hid, Usb };

// The remedy for an open of `path` refused with `error` (an errno): empty unless the error is a
// refusal of access (EACCES, EPERM). A serial hint names the group that owns the node (the
// usual "dialout" when the node cannot be looked at or belongs to root).
QString hint(Kind kind, const QString& path, int error);

// 0 when the current user may read and write the node at `path`, else the errno access() gives.
int accessError(const QString& path);

// For a serial port whose open() just failed: the hint when it failed for want of permission.
QString serialHint(const QSerialPort& port);
// For a hidraw node, and for a raw USB device given by the bus and device names of the walk.
QString hidHint(const QByteArray& path);
QString usbHint(const QByteArray& bus, const QByteArray& device);

// `message`, followed by `hint` when there is one.
QString withHint(const QString& message, const QString& hint);
// A family's open-failure message for `port`, with the permission remedy when it applies.
QString explained(const QString& message, const QSerialPort& port);

// The HID and raw-USB backends return no reason with a failed open; each open notes here, per
// kind, the hint for its refusal, or none when it succeeded or failed for another reason (the
// transfers may run on a worker thread; the family shows the message on its own).
void noteDenial(Kind kind, const QString& hint);
QString lastDenial(Kind kind);
// `message` with the refusal the last open of `kind` noted, which is then cleared.
QString explainedDenial(Kind kind, const QString& message);

} // namespace PortAccess

#endif // PORTACCESS_H
