#ifndef TIMINGPRESET_H
#define TIMINGPRESET_H

#include <QObject>
#include <QString>

class QWidget;
class Ui_MainUI;

// Editor of one of the scaler's six custom output timings. It never talks to the unit itself:
// it asks the scaler to send commands through sendCommand().
class TimingPreset : public QObject
{
    Q_OBJECT

public:
    TimingPreset(Ui_MainUI* ui, int presetIndex);
    ~TimingPreset() override;

    int presetIndex() const { return m_presetIndex; }
    // The editor page shown in the preset's tab; null until the editor is built.
    QWidget* value() const { return m_editorWidget; }

    // True while the preset still has to be read from the unit the next time its tab is shown.
    bool isEnabledFlag() const { return m_enabledFlag; }
    void setEnabledFlag(bool enabled) { m_enabledFlag = enabled; }
    // Fills the editor from the unit's reply to "#GET_TIMING_PRESET n".
    void setTimingFields(const QString& reply);

signals:
    void sendCommand(QString command, QString param);

private:
    Ui_MainUI* ui = nullptr;
    int m_presetIndex = 0;
    QWidget* m_editorWidget = nullptr;
    bool m_enabledFlag = true;
};

#endif // TIMINGPRESET_H
