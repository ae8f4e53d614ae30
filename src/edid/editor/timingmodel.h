#ifndef TIMINGMODEL_H
#define TIMINGMODEL_H

#include "timing.h"

#include <QAbstractTableModel>
#include <QList>

// The timings of the EDID being edited, one row per distinct timing, with the flags that say in
// which parts of the EDID the timing is listed. addTiming() applies the decoder's merge rule
// (EdidRules::addTiming): repeats of a timing merge into its row, detailed timings stay on top.
class TimingModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        NativeColumn = 0,
        ResolutionColumn,
        RefreshRateColumn,
        EstablishedColumn,
        StandardColumn,
        VideoBlockColumn,
        DtdColumn,
        HdmiBlockColumn,
        HFreqColumn,
        PixelClockColumn,
        TypeColumn,
        VicColumn,
        NameColumn,
        HTotalColumn,
        HBlankColumn,
        HFrontColumn,
        HSyncColumn,
        HBackColumn,
        HPolarityColumn,
        HSizeColumn,
        HBorderColumn,
        VTotalColumn,
        VBlankColumn,
        VFrontColumn,
        VSyncColumn,
        VBackColumn,
        VPolarityColumn,
        VSizeColumn,
        VBorderColumn,
        SubsamplingColumn,
        Ycbcr444Column,
        Ycbcr420Column,
        ColumnCount
    };

    explicit TimingModel(QObject* parent = nullptr);
    ~TimingModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void addTiming(const Timing& t);
    void insertTiming(int row, const Timing& t);
    Timing getTiming(int row) const;
    int findDuplicate(const Timing& t) const;
    bool containsTiming(const Timing& t) const;
    void moveTiming(int from, int to);
    void setSubsampling(int row, int value);
    bool isChecked(int row, int column) const;
    void setCheckState(int row, int column, int state);
    void clear();
    int setEditMode(int mode);
    int getEditMode() const { return editMode; }
    int getDtdCount() const { return dtdCount; }

    // The duplicate test of the table (::sameTiming in timing.h).
    static bool sameTiming(const Timing& a, const Timing& b);
    // The "H x V" text: 1920x1080p(16:9), 1920x1080i.
    static QString resolutionText(const Timing& t);

signals:
    void nativeChanged();
    void tmdsPromotion(int row);

private:
    QList<Timing> timings;
    int dtdCount = 0;
    int editMode = 0;
};

#endif // TIMINGMODEL_H
