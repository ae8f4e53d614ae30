#ifndef AUDIOFORMATMODEL_H
#define AUDIOFORMATMODEL_H

#include "audioformat.h"

#include <QAbstractTableModel>
#include <QList>

// The audio formats of the EDID being edited. Read-only in the view; rows change only through
// the model's own operations.
class AudioFormatModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        CodingColumn = 0,
        NameColumn,
        ChannelsColumn,
        SamplingFreqsColumn,
        MaxBitRateColumn,
        BitDepthColumn,
        FrameLengthColumn,
        MpegSurroundColumn,
        ColumnCount
    };

    explicit AudioFormatModel(QObject* parent = nullptr);
    ~AudioFormatModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void appendFormat(const AudioFormat& f);
    void insertFormat(int row, const AudioFormat& f);
    void moveFormat(int from, int to);
    AudioFormat formatAt(int row) const;
    int indexOf(const AudioFormat& f) const;
    bool contains(const AudioFormat& f) const;
    void clear();

private:
    QList<AudioFormat> formats;
};

#endif // AUDIOFORMATMODEL_H
