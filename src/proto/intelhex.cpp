#include "intelhex.h"

namespace IntelHex {

AddressModel AddressModel::bootLoader64K()
{
    AddressModel m;
    m.windowStart = 0;
    m.windowSize = 0x10000;
    m.skipFieldFrom = 0xFFF8;
    m.skipFieldTo = 0xFFFF;
    return m;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

Result failure(int line, const QString& what)
{
    Result r;
    r.line = line;
    r.error = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(what) : what;
    return r;
}

} // namespace

Result parse(const QByteArray& text, const AddressModel& model)
{
    // The window as 64-bit numbers, so that its end cannot wrap.
    const quint64 windowStart = model.windowStart;
    // Addresses are 32 bits: the window ends at 4 GiB at the latest.
    const quint64 windowEnd = qMin<quint64>(windowStart + qMin<quint32>(model.windowSize, MaxWindowSize), Q_UINT64_C(1) << 32);

    Result result;
    Image& image = result.image;
    image.start = model.windowStart;
    QByteArray bytes;          // grows to the highest offset written
    quint64 upper = 0;         // from the last 02 or 04 record
    qint64 highest = -1;       // highest offset written
    bool placed = false;
    int lineNumber = 0;
    int pos = 0;
    const int size = text.size();

    while (pos < size) {
        int end = text.indexOf('\n', pos);
        if (end < 0)
            end = size;
        QByteArray line = text.mid(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue; // blank lines (also after the end record) carry nothing
        if (image.endOfFile)
            return failure(lineNumber, QStringLiteral("text after the end-of-file record"));
        if (line.at(0) != ':')
            return failure(lineNumber, QStringLiteral("a record must start with ':'"));
        // Trailing blanks are tolerated; everything else must be pairs of hex digits.
        const QByteArray digits = line.mid(1).trimmed();
        if (digits.size() < 10 || digits.size() % 2 != 0)
            return failure(lineNumber, QStringLiteral("a record of %1 digits").arg(digits.size()));
        QByteArray record;
        record.reserve(digits.size() / 2);
        for (int i = 0; i < digits.size(); i += 2) {
            const int hi = hexDigit(digits.at(i));
            const int lo = hexDigit(digits.at(i + 1));
            if (hi < 0 || lo < 0)
                return failure(lineNumber, QStringLiteral("'%1' is not a hexadecimal byte")
                                               .arg(QString::fromLatin1(digits.mid(i, 2).toHex(' '))));
            record.append(char(hi * 16 + lo));
        }
        const int count = quint8(record.at(0));
        if (record.size() != count + 5)
            return failure(lineNumber, QStringLiteral("byte count %1 does not match the record's length").arg(count));
        quint8 sum = 0;
        for (char c : record)
            sum = quint8(sum + quint8(c));
        if (sum != 0)
            return failure(lineNumber, QStringLiteral("checksum mismatch"));

        const quint32 field = quint32(quint8(record.at(1))) << 8 | quint8(record.at(2));
        const int type = quint8(record.at(3));
        const char* data = record.constData() + 4;
        switch (type) {
        case 0x00: {
            if (model.skipFieldFrom <= model.skipFieldTo && field >= model.skipFieldFrom && field <= model.skipFieldTo)
                break;
            const quint64 first = upper + field;
            if (count == 0)
                break;
            if (first < windowStart || first + quint64(count) > windowEnd)
                return failure(lineNumber, QStringLiteral("data at 0x%1 lies outside the device's memory")
                                               .arg(first, 0, 16));
            const qint64 offset = qint64(first - windowStart);
            const qint64 last = offset + count - 1;
            if (last >= bytes.size())
                bytes.append(QByteArray(int(last + 1 - bytes.size()), char(0xFF)));
            for (int k = 0; k < count; ++k)
                bytes[int(offset + k)] = data[k];
            highest = qMax(highest, last);
            const quint32 address = quint32(first);
            if (!image.records.contains(address))
                image.records.insert(address, count);
            const quint32 top = quint32(first + count - 1);
            image.minAddress = placed ? qMin(image.minAddress, address) : address;
            image.maxAddress = placed ? qMax(image.maxAddress, top) : top;
            placed = true;
            break;
        }
        case 0x01:
            image.endOfFile = true;
            break;
        case 0x02:
        case 0x04: {
            if (count != 2)
                return failure(lineNumber, QStringLiteral("an address record needs 2 data bytes, not %1").arg(count));
            const quint64 value = quint64(quint8(data[0])) << 8 | quint8(data[1]);
            // Toolchains often open with a base of 0 before the real one, so a base outside the
            // window is no fault in itself: only data placed outside it is refused.
            upper = type == 0x04 ? value << 16 : value << 4;
            break;
        }
        case 0x03:
            if (!model.allowStartSegment)
                return failure(lineNumber, QStringLiteral("record type 03 is not accepted"));
            break;
        case 0x05:
            break;
        default:
            return failure(lineNumber, QStringLiteral("unknown record type %1").arg(type, 2, 16, QLatin1Char('0')));
        }
    }

    if (model.requireEndOfFile && !image.endOfFile)
        return failure(0, QStringLiteral("no end-of-file record: the file is incomplete"));
    image.bytes = highest < 0 ? QByteArray() : bytes.left(int(highest + 1));
    result.ok = true;
    return result;
}

QByteArray block(const QByteArray& image, int offset, int length)
{
    QByteArray out = offset < image.size() && offset >= 0 ? image.mid(offset, length) : QByteArray();
    if (out.size() < length)
        out.append(QByteArray(length - out.size(), char(0xFF)));
    return out;
}

} // namespace IntelHex
