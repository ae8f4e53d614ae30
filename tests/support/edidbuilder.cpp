#include "edidbuilder.h"

EdidBuilder::EdidBuilder()
    : m_bytes(128, '\0')
{
    set(0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    set(8, {0x59, 0x8D});            // "VLM"
    set(18, {1, 4, 0x80, 52, 29, 120}); // 1.4, digital, 52 x 29 cm, gamma 2.2
    for (int i = 38; i < 54; ++i)
        m_bytes[i] = 0x01;
}

EdidBuilder& EdidBuilder::set(int index, std::initializer_list<int> bytes)
{
    QByteArray b;
    for (int v : bytes)
        b.append(char(v));
    return set(index, b);
}

EdidBuilder& EdidBuilder::set(int index, const QByteArray& bytes)
{
    if (m_bytes.size() < index + bytes.size())
        m_bytes.append(QByteArray(index + bytes.size() - m_bytes.size(), '\0'));
    for (int i = 0; i < bytes.size(); ++i)
        m_bytes[index + i] = bytes.at(i);
    return *this;
}

EdidBuilder& EdidBuilder::descriptor(int slot, std::initializer_list<int> bytes)
{
    return set(54 + 18 * slot, bytes);
}

EdidBuilder& EdidBuilder::displayDescriptor(int slot, int tag, const QByteArray& payload)
{
    QByteArray d(18, '\0');
    d[3] = char(tag);
    QByteArray body = payload.left(13);
    if (body.size() < 13) {
        body.append('\n');
        while (body.size() < 13)
            body.append(' ');
    }
    d.replace(5, 13, body);
    return set(54 + 18 * slot, d);
}

EdidBuilder& EdidBuilder::cea(int flags)
{
    m_cea = true;
    m_ceaFlags = flags;
    m_bytes[126] = 1;
    return *this;
}

EdidBuilder& EdidBuilder::dataBlock(int tag, std::initializer_list<int> payload)
{
    QByteArray b;
    for (int v : payload)
        b.append(char(v));
    return dataBlock(tag, b);
}

EdidBuilder& EdidBuilder::dataBlock(int tag, const QByteArray& payload)
{
    m_cea = true;
    m_blocks.append(char(tag << 5 | (payload.size() & 0x1F)));
    m_blocks.append(payload);
    return *this;
}

EdidBuilder& EdidBuilder::extendedBlock(int code, std::initializer_list<int> payload)
{
    QByteArray b(1, char(code));
    for (int v : payload)
        b.append(char(v));
    return dataBlock(7, b);
}

EdidBuilder& EdidBuilder::ceaDescriptor(std::initializer_list<int> bytes)
{
    m_cea = true;
    for (int v : bytes)
        m_descriptors.append(char(v));
    return *this;
}

QByteArray EdidBuilder::build(bool fix) const
{
    QByteArray edid = m_bytes;
    if (m_cea) {
        if (edid.size() < 256)
            edid.append(QByteArray(256 - edid.size(), '\0'));
        edid[126] = char(qMax(1, int(quint8(edid.at(126)))));
        QByteArray ext(128, '\0');
        ext[0] = 0x02;
        ext[1] = 0x03;
        ext[2] = char(4 + m_blocks.size());
        ext[3] = char(m_ceaFlags);
        const QByteArray body = (m_blocks + m_descriptors).left(123);
        ext.replace(4, body.size(), body);
        // Bytes a test set directly in the extension win over the generated ones.
        for (int i = 128; i < m_bytes.size() && i < 256; ++i) {
            if (m_bytes.at(i) != 0)
                ext[i - 128] = m_bytes.at(i);
        }
        edid.replace(128, 128, ext);
    }
    if (fix)
        fixChecksums(&edid);
    return edid;
}

void EdidBuilder::fixChecksums(QByteArray* edid)
{
    for (int block = 0; block + 128 <= edid->size(); block += 128) {
        int sum = 0;
        for (int i = block; i < block + 127; ++i)
            sum += quint8(edid->at(i));
        (*edid)[block + 127] = char((256 - sum % 256) % 256);
    }
}
