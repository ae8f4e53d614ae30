#ifndef PLATFORM_MESSAGEBOX_H
#define PLATFORM_MESSAGEBOX_H

#include <QString>

class QWidget;

namespace Platform {
// A plain modal message with an OK button, as low-level modules (the in-system programming) show
// it. Goes through Dialogs, so tests see and answer it like every other message.
void messageBox(QWidget* parent, const QString& text, const QString& caption);
} // namespace Platform

#endif // PLATFORM_MESSAGEBOX_H
