#include "timingmodel.h"

#include "constants.h"
#include "edidrules.h"

#include <QColor>

namespace {

bool hasFormat444(int subsampling) { return subsampling == 0 || subsampling == 2; }
bool hasFormat420(int subsampling) { return subsampling == 1 || subsampling == 2; }

QString polarityText(bool positive)
{
    return positive ? QStringLiteral("Positive") : QStringLiteral("Negative");
}

} // namespace

TimingModel::TimingModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

TimingModel::~TimingModel() = default;

int TimingModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : timings.size();
}

int TimingModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QString TimingModel::resolutionText(const Timing& t)
{
    QString text = QString::number(t.hActive) + QLatin1Char('x');
    if (t.ip)
        text += QString::number(2 * t.vActive) + QLatin1Char('i');
    else
        text += QString::number(t.vActive) + QLatin1Char('p');
    if (t.hAspect != 0)
        text += QStringLiteral("(%1:%2)").arg(t.hAspect).arg(t.vAspect);
    return text;
}

QVariant TimingModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= timings.size())
        return QVariant();
    const Timing& t = timings.at(index.row());
    const int column = index.column();

    if (role == Qt::DisplayRole) {
        switch (column) {
        case NativeColumn:
        case EstablishedColumn:
        case StandardColumn:
        case VideoBlockColumn:
        case DtdColumn:
        case HdmiBlockColumn:
        case Ycbcr444Column:
        case Ycbcr420Column:
            return QString();
        case ResolutionColumn: return resolutionText(t);
        case RefreshRateColumn: return t.fieldRate;
        case HFreqColumn: return t.hFreq;
        case PixelClockColumn: return t.pixelFreq;
        case TypeColumn: return t.type;
        case VicColumn: return t.vic == 0 ? QVariant(QStringLiteral("N/A")) : QVariant(t.vic);
        case NameColumn: return t.name.isEmpty() ? QStringLiteral("N/A") : t.name;
        case HTotalColumn: return t.hTotal;
        case HBlankColumn: return t.hBlank;
        case HFrontColumn: return t.hFront;
        case HSyncColumn: return t.hSync;
        case HBackColumn: return t.hBack;
        case HPolarityColumn: return polarityText(t.hPol);
        case HSizeColumn: return t.hSize;
        case HBorderColumn: return t.hBorder;
        case VTotalColumn: return t.vTotal;
        case VBlankColumn: return t.vBlank;
        case VFrontColumn: return t.vFront;
        case VSyncColumn: return t.vSync;
        case VBackColumn: return t.vBack;
        case VPolarityColumn: return polarityText(t.vPol);
        case VSizeColumn: return t.vSize;
        case VBorderColumn: return t.vBorder;
        case SubsamplingColumn: return t.subsampling;
        default: return QStringLiteral("N/A");
        }
    }
    if (role == Qt::CheckStateRole) {
        switch (column) {
        case NativeColumn:
        case EstablishedColumn:
        case StandardColumn:
        case VideoBlockColumn:
        case DtdColumn:
        case HdmiBlockColumn:
        case Ycbcr444Column:
        case Ycbcr420Column:
            return isChecked(index.row(), column) ? Qt::Checked : Qt::Unchecked;
        default:
            return QVariant();
        }
    }
    if (role == Qt::BackgroundRole && index.row() == 0)
        return QColor(QStringLiteral("#F99B20"));
    return QVariant();
}

bool TimingModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= timings.size())
        return true;
    Timing& t = timings[index.row()];
    const bool checked = value.toInt() == Qt::Checked;

    switch (index.column()) {
    case NativeColumn:
        t.native = checked;
        emit nativeChanged();
        break;
    case EstablishedColumn: t.established = checked; break;
    case StandardColumn: t.standard = checked; break;
    case VideoBlockColumn: t.videoBlock = checked; break;
    case DtdColumn: t.dtd = checked; break;
    case HdmiBlockColumn: t.hdmiBlock = checked; break;
    case Ycbcr444Column:
    case Ycbcr420Column: {
        // A timing keeps at least one chroma format: unchecking the only one it has does nothing.
        const int before = t.subsampling;
        if (index.column() == Ycbcr444Column) {
            if (!checked && t.subsampling == 2)
                t.subsampling = 1;
            else if (checked && t.subsampling == 1)
                t.subsampling = 2;
        } else {
            if (!checked && t.subsampling == 2)
                t.subsampling = 0;
            else if (checked && t.subsampling == 0)
                t.subsampling = 2;
        }
        if (t.subsampling != before)
            emit tmdsPromotion(index.row());
        emit nativeChanged();
        break;
    }
    default:
        break;
    }
    return true;
}

QVariant TimingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);

    switch (section) {
    case NativeColumn: return tr("Native");
    case ResolutionColumn: return tr("H x V");
    case RefreshRateColumn: return tr("Refresh Rate");
    case EstablishedColumn: return tr("Established");
    case StandardColumn: return tr("Standard");
    case VideoBlockColumn: return tr("Video Block");
    case DtdColumn: return tr("DTD");
    case HdmiBlockColumn: return tr("HDMI Block");
    case HFreqColumn: return tr("H Frequency (kHz)");
    case PixelClockColumn: return tr("Pixel Clock (MHz)");
    case TypeColumn: return tr("Type");
    case VicColumn: return tr("VIC");
    case NameColumn: return tr("Name");
    case HTotalColumn: return tr("H Total");
    case HBlankColumn: return tr("H Blank");
    case HFrontColumn: return tr("H Front");
    case HSyncColumn: return tr("H Sync");
    case HBackColumn: return tr("H Back");
    case HPolarityColumn: return tr("H Polarity");
    case HSizeColumn: return tr("H Size (mm)");
    case HBorderColumn: return tr("H Border");
    case VTotalColumn: return tr("V Total");
    case VBlankColumn: return tr("V Blank");
    case VFrontColumn: return tr("V Front");
    case VSyncColumn: return tr("V Sync");
    case VBackColumn: return tr("V Back");
    case VPolarityColumn: return tr("V Polarity");
    case VSizeColumn: return tr("V Size (mm)");
    case VBorderColumn: return tr("V Border");
    case SubsamplingColumn: return tr("Chroma Subsampling");
    case Ycbcr444Column: return tr("4:4:4");
    case Ycbcr420Column: return tr("4:2:0");
    default: return QVariant();
    }
}

bool TimingModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (count < 1 || row < 0 || row > timings.size())
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        timings.insert(row, Timing());
    endInsertRows();
    return true;
}

bool TimingModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (count < 1 || row < 0 || row >= timings.size())
        return true; // nothing to remove
    const int last = qMin(row + count, timings.size()) - 1;
    beginRemoveRows(parent, row, last);
    for (int i = row; i <= last; ++i)
        timings.removeAt(row);
    endRemoveRows();
    return true;
}

Qt::ItemFlags TimingModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags; // the root of a table has no cell to enable
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editMode != 1)
        return f;
    if (index.column() == NativeColumn)
        return f | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
    if (index.column() == Ycbcr444Column || index.column() == Ycbcr420Column) {
        if (index.row() < timings.size() && EdidRules::isTmds420Vic(timings.at(index.row()).vic))
            return f | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
        return Qt::NoItemFlags;
    }
    return f;
}

void TimingModel::addTiming(const Timing& t)
{
    // The rule runs on a copy, so the views hear of an insertion or a move before it happens.
    QList<Timing> rows = timings;
    int count = dtdCount;
    const EdidRules::TimingMerge m = EdidRules::addTiming(&rows, &count, t);
    const bool inserted = m.from < 0;
    const bool moved = !inserted && m.from != m.row;
    if (inserted)
        beginInsertRows(QModelIndex(), m.row, m.row);
    else if (moved)
        beginMoveRows(QModelIndex(), m.from, m.from, QModelIndex(), m.row); // m.row < m.from
    timings = rows;
    dtdCount = count;
    if (inserted)
        endInsertRows();
    else if (moved)
        endMoveRows();
}

void TimingModel::insertTiming(int row, const Timing& t)
{
    if (insertRows(row, 1))
        timings[row] = t;
}

Timing TimingModel::getTiming(int row) const
{
    return timings.value(row);
}

int TimingModel::findDuplicate(const Timing& t) const
{
    return EdidRules::findTiming(timings, t);
}

bool TimingModel::containsTiming(const Timing& t) const
{
    return findDuplicate(t) != -1;
}

void TimingModel::moveTiming(int from, int to)
{
    if (from == to || from < 0 || from >= timings.size())
        return;
    const Timing moved = timings.at(from);
    removeRows(from, 1);
    insertTiming(qBound(0, to, timings.size()), moved);
}

void TimingModel::setSubsampling(int row, int value)
{
    if (row >= 0 && row < timings.size())
        timings[row].subsampling = value;
}

bool TimingModel::isChecked(int row, int column) const
{
    if (!index(row, column).isValid())
        return false;
    const Timing& t = timings.at(row);
    switch (column) {
    case NativeColumn: return t.native;
    case EstablishedColumn: return t.established;
    case StandardColumn: return t.standard;
    case VideoBlockColumn: return t.videoBlock;
    case DtdColumn: return t.dtd;
    case HdmiBlockColumn: return t.hdmiBlock;
    case Ycbcr444Column: return hasFormat444(t.subsampling);
    case Ycbcr420Column: return hasFormat420(t.subsampling);
    default: return false;
    }
}

void TimingModel::setCheckState(int row, int column, int state)
{
    const QModelIndex cell = index(row, column);
    if (cell.isValid())
        setData(cell, state, Qt::CheckStateRole);
}

void TimingModel::clear()
{
    beginResetModel();
    timings.clear();
    dtdCount = 0;
    endResetModel();
}

int TimingModel::setEditMode(int mode)
{
    editMode = mode;
    return editMode;
}

bool TimingModel::sameTiming(const Timing& a, const Timing& b)
{
    return ::sameTiming(a, b);
}
