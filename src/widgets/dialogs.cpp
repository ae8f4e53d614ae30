#include "dialogs.h"

#include <QFileDialog>
#include <QInputDialog>

namespace {

class QtDialogBackend : public DialogBackend
{
public:
    QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        switch (kind) {
        case Kind::Warning:
            return QMessageBox::warning(parent, title, text, buttons, defaultButton);
        case Kind::Critical:
            return QMessageBox::critical(parent, title, text, buttons, defaultButton);
        case Kind::Question:
            return QMessageBox::question(parent, title, text, buttons, defaultButton);
        default:
            return QMessageBox::information(parent, title, text, buttons, defaultButton);
        }
    }

    QString path(Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                 const QString& filter) override
    {
        switch (kind) {
        case Kind::SaveFile:
            return QFileDialog::getSaveFileName(parent, caption, dir, filter);
        case Kind::ExistingDirectory:
            return QFileDialog::getExistingDirectory(parent, caption, dir);
        default:
            return QFileDialog::getOpenFileName(parent, caption, dir, filter);
        }
    }

    QString item(QWidget* parent, const QString& title, const QString& label, const QStringList& items, int current,
                 bool editable, bool* ok) override
    {
        return QInputDialog::getItem(parent, title, label, items, current, editable, ok);
    }

    QString text(QWidget* parent, const QString& title, const QString& label, QLineEdit::EchoMode mode,
                 const QString& text, bool* ok) override
    {
        return QInputDialog::getText(parent, title, label, mode, text, ok);
    }

    int integer(QWidget* parent, const QString& title, const QString& label, int value, int min, int max, int step,
                bool* ok) override
    {
        return QInputDialog::getInt(parent, title, label, value, min, max, step, ok);
    }
};

QtDialogBackend qtBackend;
DialogBackend* currentBackend = &qtBackend;

} // namespace

void Dialogs::setBackend(DialogBackend* backend)
{
    currentBackend = backend ? backend : &qtBackend;
}

DialogBackend* Dialogs::backend()
{
    return currentBackend;
}

QMessageBox::StandardButton Dialogs::information(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return currentBackend->message(DialogBackend::Kind::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::warning(QWidget* parent, const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    return currentBackend->message(DialogBackend::Kind::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::critical(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return currentBackend->message(DialogBackend::Kind::Critical, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::question(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return currentBackend->message(DialogBackend::Kind::Question, parent, title, text, buttons, defaultButton);
}

QString Dialogs::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return currentBackend->path(DialogBackend::Kind::OpenFile, parent, caption, dir, filter);
}

QString Dialogs::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return currentBackend->path(DialogBackend::Kind::SaveFile, parent, caption, dir, filter);
}

QString Dialogs::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return currentBackend->path(DialogBackend::Kind::ExistingDirectory, parent, caption, dir, QString());
}

QString Dialogs::getItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                         int current, bool editable, bool* ok)
{
    return currentBackend->item(parent, title, label, items, current, editable, ok);
}

QString Dialogs::getText(QWidget* parent, const QString& title, const QString& label, QLineEdit::EchoMode mode,
                         const QString& text, bool* ok)
{
    return currentBackend->text(parent, title, label, mode, text, ok);
}

int Dialogs::getInt(QWidget* parent, const QString& title, const QString& label, int value, int min, int max,
                    int step, bool* ok)
{
    return currentBackend->integer(parent, title, label, value, min, max, step, ok);
}
