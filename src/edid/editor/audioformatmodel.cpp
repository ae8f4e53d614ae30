#include "audioformatmodel.h"

AudioFormatModel::AudioFormatModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

AudioFormatModel::~AudioFormatModel() = default;

int AudioFormatModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : formats.size();
}

int AudioFormatModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant AudioFormatModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 || index.row() >= formats.size())
        return QVariant();
    const AudioFormat& f = formats.at(index.row());
    const auto orNone = [](const QString& text) { return text.isEmpty() ? QStringLiteral("None") : text; };

    switch (index.column()) {
    case CodingColumn: return audioFormatName(f.type);
    case NameColumn: return f.name;
    case ChannelsColumn: return f.channels;
    case SamplingFreqsColumn: return orNone(doubleListToString(f.samplingFreqs));
    case MaxBitRateColumn:
        return audioCodeHasBitRate(f.type) ? QVariant(f.maxBitRate) : QVariant(QStringLiteral("N/A"));
    case BitDepthColumn: return orNone(intListToString(f.bitDepths));
    case FrameLengthColumn: return orNone(intListToString(f.audioFrameLength));
    case MpegSurroundColumn:
        return f.mpegSurroundExplicit ? QStringLiteral("Explicit/Implicit") : QStringLiteral("Implicit");
    default: return QStringLiteral("N/A");
    }
}

QVariant AudioFormatModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    switch (section) {
    case CodingColumn: return tr("Audio Format Code");
    case NameColumn: return tr("Name");
    case ChannelsColumn: return tr("Max Channels");
    case SamplingFreqsColumn: return tr("Sampling Frequencies");
    case MaxBitRateColumn: return tr("Max Bit Rate");
    case BitDepthColumn: return tr("Bit Depth");
    case FrameLengthColumn: return tr("Audio Frame Length");
    case MpegSurroundColumn: return tr("MPEG Surround Data");
    default: return QVariant();
    }
}

bool AudioFormatModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (count < 1 || row < 0 || row > formats.size())
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        formats.insert(row, AudioFormat());
    endInsertRows();
    return true;
}

bool AudioFormatModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (count < 1 || row < 0 || row >= formats.size())
        return true; // nothing to remove
    const int last = qMin(row + count, formats.size()) - 1;
    beginRemoveRows(parent, row, last);
    for (int i = row; i <= last; ++i)
        formats.removeAt(row);
    endRemoveRows();
    return true;
}

Qt::ItemFlags AudioFormatModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags; // the root of a table has no cell to enable
    return QAbstractTableModel::flags(index);
}

void AudioFormatModel::appendFormat(const AudioFormat& f)
{
    if (indexOf(f) == -1)
        insertFormat(formats.size(), f);
}

void AudioFormatModel::insertFormat(int row, const AudioFormat& f)
{
    if (insertRows(row, 1))
        formats[row] = f;
}

void AudioFormatModel::moveFormat(int from, int to)
{
    if (from == to || from < 0 || from >= formats.size())
        return;
    const AudioFormat moved = formats.at(from);
    removeRows(from, 1);
    insertFormat(qBound(0, to, formats.size()), moved);
}

AudioFormat AudioFormatModel::formatAt(int row) const
{
    return formats.value(row);
}

int AudioFormatModel::indexOf(const AudioFormat& f) const
{
    return formats.indexOf(f);
}

bool AudioFormatModel::contains(const AudioFormat& f) const
{
    return indexOf(f) != -1;
}

void AudioFormatModel::clear()
{
    beginResetModel();
    formats.clear();
    endResetModel();
}
