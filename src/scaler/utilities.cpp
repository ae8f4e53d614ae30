// Scaler controller: small operations around the command channel that the window and the pages
// call: enabling the widgets of a layout and the firmware archive copy.
#include "scaler.h"

#include "dialogs.h"
#include "firmwarepackage.h"
#include "ui_mainui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

void Scaler::setEnabledWidgetsInLayout(QLayout* layout, bool enabled)
{
    if (!layout || !layout->parentWidget())
        return;
    const QList<QWidget*> widgets = layout->parentWidget()->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (isChildWidgetOfAnyLayout(layout, w))
            w->setEnabled(enabled);
    }
}

void Scaler::updateSelectBrowse_2()
{
    pickFirmwarePackage(this, ui);
}
