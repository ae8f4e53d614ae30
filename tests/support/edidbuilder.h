#ifndef EDIDBUILDER_H
#define EDIDBUILDER_H

#include <QByteArray>

#include <initializer_list>

// Builds small EDIDs for tests. It starts from a plain E-EDID 1.4 base block (header, maker
// "VLM", digital input with no interface named, 52 x 29 cm, gamma 2.2, no timings, all standard
// timing slots unused, all descriptors empty), lets a test change any byte, add a CTA-861
// extension with data blocks and detailed timings, and fixes every block's checksum on build()
// unless told not to.
class EdidBuilder
{
public:
    EdidBuilder();

    // Sets bytes from `index` on (the EDID grows to hold them).
    EdidBuilder& set(int index, std::initializer_list<int> bytes);
    EdidBuilder& set(int index, const QByteArray& bytes);
    // Writes an 18-byte descriptor into base slot 0-3.
    EdidBuilder& descriptor(int slot, std::initializer_list<int> bytes);
    // A display descriptor: 00 00 00 tag 00 and the payload (padded with 0x0A then blanks for texts).
    EdidBuilder& displayDescriptor(int slot, int tag, const QByteArray& payload);

    // Adds a CTA-861 extension (revision 3, flags byte `flags`) and sets byte 126 to 1.
    EdidBuilder& cea(int flags = 0);
    // Appends a data block (header from tag and payload length) to the extension's collection.
    EdidBuilder& dataBlock(int tag, std::initializer_list<int> payload);
    EdidBuilder& dataBlock(int tag, const QByteArray& payload);
    // Appends an extended-tag block: tag 7, then `code`, then the payload.
    EdidBuilder& extendedBlock(int code, std::initializer_list<int> payload);
    // Appends an 18-byte detailed timing after the collection.
    EdidBuilder& ceaDescriptor(std::initializer_list<int> bytes);

    // The bytes, with each block's checksum fixed when `fixChecksums` is set.
    QByteArray build(bool fixChecksums = true) const;

    // Sets the last byte of every 128-byte block so the block sums to 0.
    static void fixChecksums(QByteArray* edid);

private:
    QByteArray m_bytes;
    QByteArray m_blocks;      // the extension's data block collection
    QByteArray m_descriptors; // the extension's detailed timings
    bool m_cea = false;
    int m_ceaFlags = 0;
};

#endif // EDIDBUILDER_H
