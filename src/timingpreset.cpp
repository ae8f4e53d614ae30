// Placeholder: a later change replaces this skeleton with the real timing preset editor.
#include "timingpreset.h"

TimingPreset::TimingPreset(Ui_MainUI* ui, int presetIndex)
    : QObject(nullptr)
    , ui(ui)
    , m_presetIndex(presetIndex)
{
}

TimingPreset::~TimingPreset() = default;

void TimingPreset::setTimingFields(const QString& reply)
{
    Q_UNUSED(reply);
}
