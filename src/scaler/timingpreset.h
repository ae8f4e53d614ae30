#ifndef TIMINGPRESET_H
#define TIMINGPRESET_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class MyButtonGroup;
class MyDoubleSpinBox;
class MySpinBox;
class QLineEdit;
class QTimer;
class QWidget;
class Ui_MainUI;

// Editor of one of the generic scaler's six custom output timings. It never talks to the unit
// itself: every change leaves through sendCommand(command, "value index"), which the scaler
// forwards to its command channel.
//
// The preset remembers what the unit holds for each value (from the last fill, or the last value
// sent) and, once the user pauses typing, sends only the values that differ from it. A value
// the preset has no knowledge of (nothing read yet, or its last command failed) always counts as
// changed, so it is sent on the next apply.
class TimingPreset : public QObject
{
    Q_OBJECT

public:
    TimingPreset(Ui_MainUI* ui, int presetIndex);
    ~TimingPreset() override;

    int presetIndex() const { return m_presetIndex; }
    // The editor page shown in the preset's tab. The tab widget that takes it owns it.
    QWidget* value() const { return m_editorWidget; }

    // True while the preset still has to be read from the unit the next time its tab is shown.
    bool isEnabledFlag() const { return m_enabledFlag; }
    void setEnabledFlag(bool enabled) { m_enabledFlag = enabled; }
    // Fills the editor from the unit's reply to "#GET_TIMING_PRESET n" (lines "Key = value").
    // Cancels a pending apply; sends nothing.
    void setTimingFields(const QString& reply);

signals:
    void sendCommand(QString command, QString param);

public slots:
    // Tells the preset that a command it emitted did not take effect on the unit (not sent, no
    // answer, or refused). `command` and `param` are exactly what sendCommand carried; the value
    // is then no longer taken as held by the unit and goes out again with the next apply.
    // Commands of other presets, polarity commands and values sent since are ignored, so the
    // scaler may pass every failed command to every preset.
    void commandFailed(const QString& command, const QString& param);

private slots:
    void hSettingChanged();
    void vIntegerSettingChanged();
    void vDoubleSettingChanged();
    void handleCommand(QString cmd, QString param);
    void applyChanges();

public:
    // The values the preset sends, in the order an apply sends them: the nine inputs, then the
    // four values derived from them.
    enum Field {
        HSyncWidth,
        HFrontPorch,
        HActive,
        HBackPorch,
        VRefresh,
        VSyncWidth,
        VFrontPorch,
        VActive,
        VBackPorch,
        PixelClock,
        HTotal,
        VTotal,
        HScanRate,
        FieldCount
    };

private:
    // What the unit is taken to hold for one value.
    struct Remembered {
        bool known = false;
        double value = 0;
    };
    struct Derived {
        int hTotal = 0;
        int vTotal = 0;
        double pixelClock = 0; // MHz
        double hScanRate = 0;  // kHz; not a number when the horizontal total is 0
    };

    void createEditor();
    QWidget* input(Field field) const;
    double inputValue(Field field) const;
    Derived derive() const;
    static double derivedValue(const Derived& derived, Field field);
    bool differs(Field field, double current) const;
    void showDerived(Field field, double current);
    void startApplyDelay(int ms);
    void editStarted(int delayMs, Field total);

    Ui_MainUI* ui = nullptr;
    int m_presetIndex = 0;
    QPointer<QWidget> m_editorWidget;
    QLineEdit* pixelClockEdit = nullptr;
    QLineEdit* hScanRateEdit = nullptr;
    MySpinBox* hSyncWidthSpin = nullptr;
    MySpinBox* hFrontPorchSpin = nullptr;
    MySpinBox* hActiveSpin = nullptr;
    MySpinBox* hBackPorchSpin = nullptr;
    QLineEdit* hTotalEdit = nullptr;
    MyButtonGroup* hPolarityGroup = nullptr;
    MyDoubleSpinBox* vRefreshSpin = nullptr;
    MySpinBox* vSyncWidthSpin = nullptr;
    MySpinBox* vFrontPorchSpin = nullptr;
    MySpinBox* vActiveSpin = nullptr;
    MySpinBox* vBackPorchSpin = nullptr;
    QLineEdit* vTotalEdit = nullptr;
    MyButtonGroup* vPolarityGroup = nullptr;
    QTimer* applyTimer = nullptr;
    // The nine editable inputs, in Field order.
    QList<QWidget*> inputs;
    bool m_enabledFlag = true;
    Remembered m_last[FieldCount];
};

#endif // TIMINGPRESET_H
