#include "messagebox.h"
#include "dialogs.h"

namespace Platform {
void messageBox(QWidget* parent, const QString& text, const QString& caption)
{
    Dialogs::information(parent, caption, text);
}
} // namespace Platform
