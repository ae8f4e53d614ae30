// Timing preset editor: one tab of the generic scaler's "Timings" page. Builds the editor, keeps
// the totals, pixel clock and scan rate in step with the inputs, sends the values that changed
// once the user pauses, and fills itself from the unit's "#GET_TIMING_PRESET" reply.
#include "timingpreset.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "mydoublespinbox.h"
#include "myspinbox.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QCoreApplication>
#include <QFont>
#include <QKeyEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>
#include <limits>
#include <utility>

namespace {

const int InputMaximum = 9999;
const double RefreshMaximum = 999.0;
// Pause after the last keystroke before the changes go out; a refresh-rate edit waits longer
// because its three decimals take more typing.
const int ApplyDelayMs = 600;
const int RefreshApplyDelayMs = 900;

enum class Compare {
    Unequal, // integers, and the refresh rate as typed
    // Computed values: equal when they read the same at the precision the unit reports them
    // (three decimals), so rounding noise of the arithmetic never sends a value again.
    Shown,
};
enum class Text {
    Integer,
    Fixed3,   // 59.940
    General6, // at most six significant digits, no trailing zeros: 67.5, 45
};

struct FieldInfo {
    const char* command;
    Compare compare;
    Text text;
};

// Indexed by TimingPreset::Field.
const FieldInfo Fields[TimingPreset::FieldCount] = {
    {"#SET_HORZ_SYNC_WIDTH", Compare::Unequal, Text::Integer},
    {"#SET_HORZ_FRONT_PORCH", Compare::Unequal, Text::Integer},
    {"#SET_HORZ_ACTIVE", Compare::Unequal, Text::Integer},
    {"#SET_HORZ_BACK_PORCH", Compare::Unequal, Text::Integer},
    {"#SET_VERT_REFRESH_RATE", Compare::Unequal, Text::Fixed3},
    {"#SET_VERT_SYNC_WIDTH", Compare::Unequal, Text::Integer},
    {"#SET_VERT_FRONT_PORCH", Compare::Unequal, Text::Integer},
    {"#SET_VERT_ACTIVE", Compare::Unequal, Text::Integer},
    {"#SET_VERT_BACK_PORCH", Compare::Unequal, Text::Integer},
    {"#SET_PIXEL_CLOCK", Compare::Shown, Text::Fixed3},
    {"#SET_HORZ_TOTAL", Compare::Shown, Text::Integer},
    {"#SET_VERT_TOTAL", Compare::Shown, Text::Integer},
    {"#SET_HORZ_SCAN_RATE", Compare::Shown, Text::General6},
};

QString valueText(TimingPreset::Field field, double value)
{
    switch (Fields[field].text) {
    case Text::Integer: return QString::number(qint64(value));
    case Text::Fixed3: return QString::number(value, 'f', 3);
    case Text::General6: return QString::number(value, 'g', 6);
    }
    return QString();
}

// What the display fields show: always with the point, whatever the user's locale.
QString shownText(TimingPreset::Field field, double value)
{
    if (std::isnan(value))
        return QString(); // no scan rate without a horizontal total
    if (field == TimingPreset::HTotal || field == TimingPreset::VTotal)
        return QString::number(qint64(value));
    return QString::number(value, 'f', 3);
}

// How the inputs read and show numbers: the unit's notation (a point, no grouping) under every
// locale, so 59.940 looks and types the same everywhere.
QLocale numberLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return c;
}

// The reply's keys, in the order they are looked for in a line.
enum class Reading { Decimal, Count, Polarity };
struct ReplyKey {
    const char* key;
    int field; // a TimingPreset::Field, or 0 (horizontal) / 1 (vertical) for a polarity
    Reading reading;
};
const ReplyKey ReplyKeys[] = {
    {"Hor Scan", TimingPreset::HScanRate, Reading::Decimal},
    {"Hor Active", TimingPreset::HActive, Reading::Count},
    {"Hor Ft Porch", TimingPreset::HFrontPorch, Reading::Count},
    {"Hor Sync W", TimingPreset::HSyncWidth, Reading::Count},
    {"Hor Bk Porch", TimingPreset::HBackPorch, Reading::Count},
    {"Hor Total", TimingPreset::HTotal, Reading::Count},
    {"Hor Polarity", 0, Reading::Polarity},
    {"Pixel Clk", TimingPreset::PixelClock, Reading::Decimal},
    {"Ver Refresh", TimingPreset::VRefresh, Reading::Decimal},
    {"Ver Active", TimingPreset::VActive, Reading::Count},
    {"Ver Ft Porch", TimingPreset::VFrontPorch, Reading::Count},
    {"Ver Sync W", TimingPreset::VSyncWidth, Reading::Count},
    {"Ver Bk Porch", TimingPreset::VBackPorch, Reading::Count},
    {"Ver Total", TimingPreset::VTotal, Reading::Count},
    {"Ver Polarity", 1, Reading::Polarity},
};

// A reply value read as a number. `known` is false when the number is too large to be taken as
// anything the unit really holds; `value` is then what the inputs can show at most.
struct ReadNumber {
    bool known = true;
    double value = 0;
};

// An unsigned decimal integer; anything else reads as 0.
ReadNumber readCount(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return {};
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n > std::numeric_limits<int>::max())
        return {false, double(InputMaximum)};
    return {true, double(n)};
}

// A decimal number with a point; anything else (including infinities) reads as 0.
double readDecimal(const QString& text)
{
    bool ok = false;
    const double d = numberLocale().toDouble(text, &ok);
    return ok && std::isfinite(d) ? d : 0.0;
}

// Lets the refresh-rate box take a comma for the decimal point, as typed on keyboards of comma
// locales (their keypad's decimal key), while it shows and reads the point everywhere.
class CommaAsPoint : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto key = static_cast<QKeyEvent*>(event);
        if (key->text() != QLatin1String(","))
            return false;
        QKeyEvent point(QEvent::KeyPress, Qt::Key_Period, key->modifiers(), QStringLiteral("."));
        QCoreApplication::sendEvent(watched, &point);
        return true;
    }
};

QLabel* label(const QString& text, Qt::Alignment alignment = Qt::Alignment())
{
    auto l = new QLabel(text);
    if (alignment)
        l->setAlignment(alignment);
    return l;
}

} // namespace

TimingPreset::TimingPreset(Ui_MainUI* ui, int presetIndex)
    : QObject(nullptr)
    , ui(ui)
    , m_presetIndex(presetIndex)
{
    createEditor();
}

TimingPreset::~TimingPreset()
{
    // The tab widget owns the page; a page never handed to one is ours to free.
    if (m_editorWidget && !m_editorWidget->parent())
        delete m_editorWidget.data();
}

void TimingPreset::createEditor()
{
    m_editorWidget = new QWidget;
    auto grid = new QGridLayout(m_editorWidget);
    const QSizePolicy expanding(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const QLocale locale = numberLocale();

    auto display = [&](const char* name) {
        auto edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setEnabled(false);
        edit->setSizePolicy(expanding);
        return edit;
    };
    auto spin = [&](const char* name) {
        auto box = new MySpinBox;
        box->setObjectName(QLatin1String(name));
        box->setRange(0, InputMaximum);
        box->setLocale(locale);
        box->setSizePolicy(expanding);
        return box;
    };
    auto polarity = [&](const char* name, const QString& command) {
        auto frame = new QFrame;
        frame->setObjectName(QLatin1String(name));
        frame->setSizePolicy(expanding);
        auto group = new MyButtonGroup(SYNC_POLARITY_CHOICES, frame, command, this);
        group->createButtons();
        group->setButtonFont(QFont(QStringLiteral("Helvetica"), 18, QFont::Bold));
        connect(group, SIGNAL(sendCommand(QString, QString)), this, SLOT(handleCommand(QString, QString)));
        return std::make_pair(frame, group);
    };

    pixelClockEdit = display("pixelClockEdit");
    hScanRateEdit = display("hScanRateEdit");
    hSyncWidthSpin = spin("hSyncWidthSpin");
    hFrontPorchSpin = spin("hFrontPorchSpin");
    hActiveSpin = spin("hActiveSpin");
    hBackPorchSpin = spin("hBackPorchSpin");
    hTotalEdit = display("hTotalEdit");
    const auto hPolarity = polarity("hPolarityFrame", QStringLiteral("#SET_HORZ_SYNC_POLARITY"));
    hPolarityGroup = hPolarity.second;

    vRefreshSpin = new MyDoubleSpinBox;
    vRefreshSpin->setObjectName(QStringLiteral("vRefreshSpin"));
    vRefreshSpin->setLocale(locale);
    vRefreshSpin->setDecimals(3);
    vRefreshSpin->setSingleStep(0.001);
    vRefreshSpin->setRange(0.0, RefreshMaximum);
    vRefreshSpin->setSizePolicy(expanding);
    vRefreshSpin->installEventFilter(new CommaAsPoint(vRefreshSpin));
    vSyncWidthSpin = spin("vSyncWidthSpin");
    vFrontPorchSpin = spin("vFrontPorchSpin");
    vActiveSpin = spin("vActiveSpin");
    vBackPorchSpin = spin("vBackPorchSpin");
    vTotalEdit = display("vTotalEdit");
    const auto vPolarity = polarity("vPolarityFrame", QStringLiteral("#SET_VERT_SYNC_POLARITY"));
    vPolarityGroup = vPolarity.second;

    inputs = {hSyncWidthSpin, hFrontPorchSpin, hActiveSpin,    hBackPorchSpin, vRefreshSpin,
              vSyncWidthSpin, vFrontPorchSpin, vActiveSpin, vBackPorchSpin};

    const QString pixels = QStringLiteral("Pixels");
    const QString lines = QStringLiteral("Lines");
    grid->addWidget(label(QStringLiteral("Pixel Clock")), 0, 2);
    grid->addWidget(pixelClockEdit, 0, 3, 1, 2);
    grid->addWidget(label(QStringLiteral("MHz")), 0, 5);
    grid->addWidget(label(QStringLiteral("Horizontal"), Qt::AlignHCenter | Qt::AlignVCenter), 1, 0, 1, 4);
    grid->addWidget(label(QStringLiteral("Vertical"), Qt::AlignHCenter | Qt::AlignVCenter), 1, 5, 1, 4);

    struct Row {
        QString hName;
        QWidget* hWidget;
        QString hUnit;
        QString vName;
        QWidget* vWidget;
        QString vUnit;
    };
    const Row rows[] = {
        {QStringLiteral("Scan Rate"), hScanRateEdit, QStringLiteral("kHz"), QStringLiteral("Refresh"), vRefreshSpin, QStringLiteral("Hz")},
        {QStringLiteral("Sync Width"), hSyncWidthSpin, pixels, QStringLiteral("Sync Width"), vSyncWidthSpin, lines},
        {QStringLiteral("Front Porch"), hFrontPorchSpin, pixels, QStringLiteral("Front Porch"), vFrontPorchSpin, lines},
        {QStringLiteral("Active"), hActiveSpin, pixels, QStringLiteral("Active"), vActiveSpin, lines},
        {QStringLiteral("Back Porch"), hBackPorchSpin, pixels, QStringLiteral("Back Porch"), vBackPorchSpin, lines},
        {QStringLiteral("Total"), hTotalEdit, pixels, QStringLiteral("Total"), vTotalEdit, lines},
    };
    int row = 2;
    for (const Row& r : rows) {
        grid->addWidget(label(r.hName), row, 0);
        grid->addWidget(r.hWidget, row, 1);
        grid->addWidget(label(r.hUnit), row, 2);
        grid->addWidget(label(r.vName), row, 5);
        grid->addWidget(r.vWidget, row, 6);
        grid->addWidget(label(r.vUnit), row, 8);
        ++row;
    }
    grid->addWidget(hPolarity.first, 8, 1);
    grid->addWidget(vPolarity.first, 8, 6);
    grid->addWidget(label(QStringLiteral("Sync Polarity"), Qt::AlignHCenter | Qt::AlignVCenter), 9, 1);
    grid->addWidget(label(QStringLiteral("Sync Polarity"), Qt::AlignHCenter | Qt::AlignVCenter), 9, 6);

    // The fields start as the inputs add up (all zero, no scan rate).
    const Derived start = derive();
    for (Field field : {PixelClock, HTotal, VTotal, HScanRate})
        showDerived(field, derivedValue(start, field));

    applyTimer = new QTimer(this);
    applyTimer->setSingleShot(true);

    for (MySpinBox* box : {hSyncWidthSpin, hFrontPorchSpin, hActiveSpin, hBackPorchSpin})
        connect(box, SIGNAL(valueChanged(int)), this, SLOT(hSettingChanged()));
    connect(vRefreshSpin, SIGNAL(valueChanged(double)), this, SLOT(vDoubleSettingChanged()));
    for (MySpinBox* box : {vSyncWidthSpin, vFrontPorchSpin, vActiveSpin, vBackPorchSpin})
        connect(box, SIGNAL(valueChanged(int)), this, SLOT(vIntegerSettingChanged()));
    // Enter in any input sends at once: the user who confirms a value expects it to go out, not
    // to wait out the pause (the inputs take the typed text before they report the key).
    for (QWidget* box : qAsConst(inputs))
        connect(box, SIGNAL(enterPressed()), this, SLOT(applyChanges()));
    connect(applyTimer, SIGNAL(timeout()), this, SLOT(applyChanges()));
}

QWidget* TimingPreset::input(Field field) const
{
    return inputs.value(field);
}

double TimingPreset::inputValue(Field field) const
{
    if (field == VRefresh)
        return vRefreshSpin->value();
    return static_cast<MySpinBox*>(input(field))->value();
}

TimingPreset::Derived TimingPreset::derive() const
{
    Derived d;
    d.hTotal = hBackPorchSpin->value() + hActiveSpin->value() + hFrontPorchSpin->value() + hSyncWidthSpin->value();
    d.vTotal = vBackPorchSpin->value() + vActiveSpin->value() + vFrontPorchSpin->value() + vSyncWidthSpin->value();
    // Four inputs of at most 9999 each: the product of the totals stays below 2^31.
    const qint32 pixelsPerFrame = d.hTotal * d.vTotal;
    d.pixelClock = vRefreshSpin->value() * pixelsPerFrame / 1000000.0;
    d.hScanRate = d.hTotal == 0 ? std::numeric_limits<double>::quiet_NaN() : d.pixelClock * 1000 / d.hTotal;
    return d;
}

double TimingPreset::derivedValue(const Derived& derived, Field field)
{
    switch (field) {
    case PixelClock: return derived.pixelClock;
    case HTotal: return derived.hTotal;
    case VTotal: return derived.vTotal;
    case HScanRate: return derived.hScanRate;
    default: return 0;
    }
}

bool TimingPreset::differs(Field field, double current) const
{
    if (std::isnan(current))
        return false; // nothing to send: there is no such value
    const Remembered& last = m_last[field];
    if (!last.known)
        return true;
    if (Fields[field].compare == Compare::Shown)
        return shownText(field, current) != shownText(field, last.value);
    return current != last.value;
}

void TimingPreset::showDerived(Field field, double current)
{
    QLineEdit* edit = field == PixelClock ? pixelClockEdit
                    : field == HTotal     ? hTotalEdit
                    : field == VTotal     ? vTotalEdit
                                          : hScanRateEdit;
    edit->setText(shownText(field, current));
}

void TimingPreset::startApplyDelay(int ms)
{
    if (ui && ui->refreshTimings)
        ui->refreshTimings->setEnabled(false);
    applyTimer->start(TimeScale::ms(ms));
}

// The fields always show what the inputs add up to now, also when the user types a value back to
// what the unit holds.
void TimingPreset::editStarted(int delayMs, Field total)
{
    startApplyDelay(delayMs);
    const Derived d = derive();
    showDerived(PixelClock, d.pixelClock);
    showDerived(total, derivedValue(d, total));
    showDerived(HScanRate, d.hScanRate);
}

void TimingPreset::hSettingChanged()
{
    editStarted(ApplyDelayMs, HTotal);
}

void TimingPreset::vIntegerSettingChanged()
{
    editStarted(ApplyDelayMs, VTotal);
}

void TimingPreset::vDoubleSettingChanged()
{
    editStarted(RefreshApplyDelayMs, VTotal);
}

void TimingPreset::handleCommand(QString cmd, QString param)
{
    // A polarity goes out at once; the unit's answer is the only record of it.
    emit sendCommand(cmd, param + QLatin1Char(' ') + QString::number(m_presetIndex));
}

void TimingPreset::applyChanges()
{
    qDebug() << "applyChanges";
    applyTimer->stop();
    m_editorWidget->setEnabled(false);

    // Each value is remembered before it is emitted: the scaler handles the command before the
    // emit returns, and a failure it reports meanwhile (commandFailed) must win.
    auto rememberIfChanged = [this](Field field, double current) {
        if (!differs(field, current))
            return false;
        m_last[field] = {true, current};
        return true;
    };
    auto emitValue = [this](Field field, double current) {
        emit sendCommand(QLatin1String(Fields[field].command),
                         valueText(field, current) + QLatin1Char(' ') + QString::number(m_presetIndex));
    };

    for (int f = HSyncWidth; f <= VBackPorch; ++f) {
        const Field field = Field(f);
        const double current = inputValue(field);
        if (rememberIfChanged(field, current))
            emitValue(field, current);
    }
    // From the inputs as they stand after the nine values went out.
    const Derived d = derive();
    for (int f = PixelClock; f <= HScanRate; ++f) {
        const Field field = Field(f);
        const double current = derivedValue(d, field);
        if (rememberIfChanged(field, current)) {
            showDerived(field, current);
            emitValue(field, current);
        }
    }

    if (ui && ui->refreshTimings)
        ui->refreshTimings->setEnabled(true);
    m_editorWidget->setEnabled(true);
}

void TimingPreset::commandFailed(const QString& command, const QString& param)
{
    const QString suffix = QLatin1Char(' ') + QString::number(m_presetIndex);
    if (!param.endsWith(suffix))
        return;
    const QString sent = param.left(param.size() - suffix.size());
    for (int f = 0; f < FieldCount; ++f) {
        const Field field = Field(f);
        if (command != QLatin1String(Fields[field].command))
            continue;
        // A later value may have gone out since; only the one that failed is forgotten.
        Remembered& last = m_last[field];
        if (last.known && valueText(field, last.value) == sent)
            last.known = false;
        return;
    }
}

void TimingPreset::setTimingFields(const QString& reply)
{
    // A fill replaces what the user typed and has not been sent yet; the "Refresh" button the
    // edit disabled comes back with the cancelled apply.
    if (applyTimer->isActive()) {
        applyTimer->stop();
        if (ui && ui->refreshTimings)
            ui->refreshTimings->setEnabled(true);
    }

    for (QWidget* box : qAsConst(inputs))
        box->blockSignals(true);

    const QStringList lines = reply.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QStringList parts = rawLine.trimmed().split(QStringLiteral(" = "));
        if (parts.size() != 2)
            continue;
        // The key is looked for in the name only: a value never decides which field it fills.
        const QString& name = parts.at(0);
        const QString text = parts.at(1).trimmed();
        for (const ReplyKey& key : ReplyKeys) {
            if (!name.contains(QLatin1String(key.key)))
                continue;
            if (key.reading == Reading::Polarity) {
                (key.field == 0 ? hPolarityGroup : vPolarityGroup)->setCheckedByText(text);
                break;
            }
            const Field field = Field(key.field);
            ReadNumber number;
            if (key.reading == Reading::Decimal)
                number.value = readDecimal(text);
            else
                number = readCount(text);
            m_last[field] = {number.known, number.value};

            switch (field) {
            case HScanRate:
            case PixelClock: showDerived(field, number.value); break;
            case HTotal:
            case VTotal:
                // A total too large to hold is shown as the unit wrote it.
                (field == HTotal ? hTotalEdit : vTotalEdit)
                    ->setText(number.known ? QString::number(qint64(number.value)) : text);
                break;
            case VRefresh: vRefreshSpin->setValue(number.value); break;
            default: static_cast<MySpinBox*>(input(field))->setValue(int(qMin(number.value, double(InputMaximum))));
            }
            break;
        }
    }

    for (QWidget* box : qAsConst(inputs))
        box->blockSignals(false);
}
