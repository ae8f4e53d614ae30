#ifndef SCRIPTEDDIALOGS_H
#define SCRIPTEDDIALOGS_H

#include "dialogs.h"

#include <QList>
#include <QQueue>
#include <QVariant>

// A dialog backend for tests: records every dialog shown and answers from a script.
// Install it for the lifetime of a test with ScriptedDialogs::Scope.
class ScriptedDialogs : public DialogBackend
{
public:
    struct Shown {
        Kind kind;
        QString title;
        QString text; // message text, or the caption/label of a file or input dialog
    };

    // Answers are taken in order by the dialogs that ask; an exhausted script answers with the
    // default button (or Cancel / an empty path / not ok).
    void answerButton(QMessageBox::StandardButton button) { m_answers.enqueue(int(button)); }
    void answerPath(const QString& path) { m_answers.enqueue(path); }
    void answerText(const QString& text) { m_answers.enqueue(text); }
    void answerInt(int value) { m_answers.enqueue(value); }
    void answerCancel() { m_answers.enqueue(QVariant()); }

    const QList<Shown>& shown() const { return m_shown; }
    bool wasShown(const QString& textPart) const;
    void clear();

    QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString path(Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                 const QString& filter) override;
    QString item(QWidget* parent, const QString& title, const QString& label, const QStringList& items, int current,
                 bool editable, bool* ok) override;
    QString text(QWidget* parent, const QString& title, const QString& label, QLineEdit::EchoMode mode,
                 const QString& text, bool* ok) override;
    int integer(QWidget* parent, const QString& title, const QString& label, int value, int min, int max, int step,
                bool* ok) override;

    class Scope
    {
    public:
        explicit Scope(ScriptedDialogs& dialogs) { Dialogs::setBackend(&dialogs); }
        ~Scope() { Dialogs::setBackend(nullptr); }
    };

private:
    QVariant next();
    QQueue<QVariant> m_answers;
    QList<Shown> m_shown;
};

#endif // SCRIPTEDDIALOGS_H
