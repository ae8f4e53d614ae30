#ifndef DIALOGS_H
#define DIALOGS_H

#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// What a dialog is asked to show. Every message box, question, file dialog and input dialog of
// the program goes through Dialogs, so tests can answer them and see what was shown.
class DialogBackend
{
public:
    enum class Kind { Information, Warning, Critical, Question, OpenFile, SaveFile, ExistingDirectory, Item, Text, Integer };

    virtual ~DialogBackend() = default;
    virtual QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;
    // Kind is OpenFile, SaveFile or ExistingDirectory. An empty result means cancelled.
    virtual QString path(Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) = 0;
    virtual QString item(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                         int current, bool editable, bool* ok) = 0;
    virtual QString text(QWidget* parent, const QString& title, const QString& label, QLineEdit::EchoMode mode,
                         const QString& text, bool* ok) = 0;
    virtual int integer(QWidget* parent, const QString& title, const QString& label, int value, int min, int max,
                        int step, bool* ok) = 0;
};

class Dialogs
{
public:
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir = QString());

    static QString getItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                           int current = 0, bool editable = true, bool* ok = nullptr);
    static QString getText(QWidget* parent, const QString& title, const QString& label,
                           QLineEdit::EchoMode mode = QLineEdit::Normal, const QString& text = QString(),
                           bool* ok = nullptr);
    static int getInt(QWidget* parent, const QString& title, const QString& label, int value = 0,
                      int min = -2147483647, int max = 2147483647, int step = 1, bool* ok = nullptr);

    // Replaces the backend (nullptr restores the real Qt dialogs). The caller keeps ownership.
    static void setBackend(DialogBackend* backend);
    static DialogBackend* backend();
};

#endif // DIALOGS_H
