#ifndef MYRANGEEDITOR_H
#define MYRANGEEDITOR_H

#include <QObject>
#include <QString>

class QLineEdit;
class QSlider;
class QTimer;

// Couples a slider and a line edit that show one adjustment of a device, and reports a settled
// value as sendCommand(command, value):
// - a drag sends once, when the slider is released;
// - keyboard, wheel and page steps send once, when the slider has rested for 700 ms;
// - Enter in the line edit sends the typed number at once, clamped to the slider's range.
// setValue() shows a value read from the device without sending it.
class MyRangeEditor : public QObject
{
    Q_OBJECT

public:
    MyRangeEditor(QSlider* slider, QLineEdit* edit, const QString& command, QObject* parent = nullptr);

    void setValue(int value);

    QSlider* slider() const { return m_slider; }
    QLineEdit* edit() const { return m_edit; }
    QString command() const { return m_command; }

    static constexpr int SettleTimeMs = 700;

signals:
    void sendCommand(const QString& command, const QString& param);

public slots:
    void valueChanged(int value);
    void sliderPressed();
    void sliderReleased();
    void returnPressed();
    void sliderTimeout();

private:
    void sendSliderValue();

    QSlider* m_slider;
    QLineEdit* m_edit;
    QString m_command;
    QTimer* m_timer;
    // While set, slider changes only update the line edit and start no settle timer.
    bool m_suppressDebounce = false;
};

#endif // MYRANGEEDITOR_H
