#ifndef INTELHEX_H
#define INTELHEX_H

// Intel HEX: the text form of the firmware images of the serial extenders' boot loader and of
// the wireless extenders' burner. One reader for both; each caller hands it the address window
// its device has, and every byte the file places must fall inside that window.
//
// A record is one line: ':', byte count, 16-bit address, type, data, checksum, all as pairs of
// hexadecimal digits (upper or lower case), ended by LF or CR LF. The reader checks every digit,
// the record's length against its byte count and the checksum (the two's complement of the sum
// of all other bytes). Types: 00 data, 01 end of file, 02 extended segment address (segment
// × 16), 04 extended linear address (× 65536), 03 and 05 start addresses (ignored, or refused
// when the model says so). Widget-free.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QtGlobal>

namespace IntelHex {

// The largest window a model may have (larger ones are cut to it).
constexpr quint32 MaxWindowSize = 64u * 1024 * 1024;

// Where the device's memory lies and what the reader accepts.
struct AddressModel {
    quint32 windowStart = 0;      // first address of the image
    quint32 windowSize = 0x10000; // bytes from windowStart; a byte placed outside is refused
    // Data records whose 16-bit address field lies in [skipFieldFrom, skipFieldTo] are left out
    // (the boot loader's own words at the top of a 64 KiB bank). Empty when from > to.
    quint32 skipFieldFrom = 1;
    quint32 skipFieldTo = 0;
    bool allowStartSegment = true; // type 03; false: a type 03 record makes the file invalid
    bool requireEndOfFile = true;  // a text without the 01 record is refused (a cut download)

    // The serial extenders' boot loader: 64 KiB from 0, the top eight addresses of the bank
    // left to the boot loader.
    static AddressModel bootLoader64K();
};

struct Image {
    // The window from windowStart up to the highest byte placed, gaps 0xFF.
    QByteArray bytes;
    quint32 start = 0;
    // Every data record that was placed: its absolute address -> its byte count. A second record
    // at the same address keeps the first entry.
    QMap<quint32, int> records;
    quint32 minAddress = 0;
    quint32 maxAddress = 0; // highest address written (valid when records is not empty)
    bool endOfFile = false;
};

struct Result {
    bool ok = false;
    Image image;
    int line = 0;    // 1-based line of the first fault, 0 when ok or not bound to a line
    QString error;   // what is wrong, for the log and the user
};

// Reads `text` under `model`. On a fault, `ok` is false and `image` holds nothing of use.
Result parse(const QByteArray& text, const AddressModel& model = AddressModel::bootLoader64K());

// `length` bytes of `image` from `offset`, padded with 0xFF where the image has ended.
QByteArray block(const QByteArray& image, int offset, int length);

} // namespace IntelHex

#endif // INTELHEX_H
