#include "myrangeeditor.h"

#include "timescale.h"

#include <QLineEdit>
#include <QSlider>
#include <QTimer>

MyRangeEditor::MyRangeEditor(QSlider* slider, QLineEdit* edit, const QString& command, QObject* parent)
    : QObject(parent)
    , m_slider(slider)
    , m_edit(edit)
    , m_command(command)
    , m_timer(new QTimer(this))
{
    connect(m_slider, SIGNAL(valueChanged(int)), this, SLOT(valueChanged(int)));
    connect(m_slider, SIGNAL(sliderPressed()), this, SLOT(sliderPressed()));
    connect(m_slider, SIGNAL(sliderReleased()), this, SLOT(sliderReleased()));
    connect(m_edit, SIGNAL(returnPressed()), this, SLOT(returnPressed()));

    m_timer->setSingleShot(true);
    connect(m_timer, SIGNAL(timeout()), this, SLOT(sliderTimeout()));
}

void MyRangeEditor::setValue(int value)
{
    // A value from the device is shown, not sent back. The flag is restored rather than
    // cleared, so a reply arriving during a drag does not turn the rest of the drag into sends.
    const bool suppressed = m_suppressDebounce;
    m_suppressDebounce = true;
    m_slider->setValue(value);
    m_edit->setText(QString::number(m_slider->value()));
    m_suppressDebounce = suppressed;
}

void MyRangeEditor::valueChanged(int value)
{
    m_edit->setText(QString::number(value));
    if (!m_suppressDebounce)
        m_timer->start(TimeScale::ms(SettleTimeMs));
}

void MyRangeEditor::sliderPressed()
{
    // The release sends the value the drag ends on; a change still settling is part of it.
    m_timer->stop();
    m_suppressDebounce = true;
}

void MyRangeEditor::sliderReleased()
{
    m_suppressDebounce = false;
    sendSliderValue();
}

void MyRangeEditor::returnPressed()
{
    bool ok = false;
    const qlonglong typed = m_edit->text().trimmed().toLongLong(&ok, 10);
    if (!ok) {
        // Not a number: nothing is sent and the slider's value is shown again.
        m_edit->setText(QString::number(m_slider->value()));
        return;
    }

    m_timer->stop();
    m_suppressDebounce = true;
    m_slider->setValue(int(qBound(qlonglong(m_slider->minimum()), typed, qlonglong(m_slider->maximum()))));
    m_suppressDebounce = false;
    // The slider's clamped value is sent, so the device never gets a value outside its range.
    sendSliderValue();
}

void MyRangeEditor::sliderTimeout()
{
    sendSliderValue();
}

void MyRangeEditor::sendSliderValue()
{
    const QString value = QString::number(m_slider->value());
    m_edit->setText(value);
    emit sendCommand(m_command, value);
}
