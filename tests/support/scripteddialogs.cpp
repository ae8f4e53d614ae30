#include "scripteddialogs.h"

bool ScriptedDialogs::wasShown(const QString& textPart) const
{
    for (const Shown& s : m_shown) {
        if (s.text.contains(textPart) || s.title.contains(textPart))
            return true;
    }
    return false;
}

void ScriptedDialogs::clear()
{
    m_shown.clear();
    m_answers.clear();
}

QVariant ScriptedDialogs::next()
{
    return m_answers.isEmpty() ? QVariant() : m_answers.dequeue();
}

QMessageBox::StandardButton ScriptedDialogs::message(Kind kind, QWidget*, const QString& title, const QString& text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    m_shown.append({kind, title, text});
    const QVariant answer = next();
    if (answer.isValid())
        return QMessageBox::StandardButton(answer.toInt());
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    // Like a dialog closed with Escape: the escape button, else the first button offered.
    if (buttons & QMessageBox::Cancel)
        return QMessageBox::Cancel;
    if (buttons & QMessageBox::No)
        return QMessageBox::No;
    for (int b = QMessageBox::FirstButton; b <= QMessageBox::LastButton; b <<= 1) {
        if (buttons & b)
            return QMessageBox::StandardButton(b);
    }
    return QMessageBox::Ok;
}

QString ScriptedDialogs::path(Kind kind, QWidget*, const QString& caption, const QString&, const QString&)
{
    m_shown.append({kind, caption, caption});
    return next().toString();
}

QString ScriptedDialogs::item(QWidget*, const QString& title, const QString& label, const QStringList&, int, bool,
                              bool* ok)
{
    m_shown.append({Kind::Item, title, label});
    const QVariant answer = next();
    if (ok)
        *ok = answer.isValid();
    return answer.toString();
}

QString ScriptedDialogs::text(QWidget*, const QString& title, const QString& label, QLineEdit::EchoMode,
                              const QString&, bool* ok)
{
    m_shown.append({Kind::Text, title, label});
    const QVariant answer = next();
    if (ok)
        *ok = answer.isValid();
    return answer.toString();
}

int ScriptedDialogs::integer(QWidget*, const QString& title, const QString& label, int value, int, int, int, bool* ok)
{
    m_shown.append({Kind::Integer, title, label});
    const QVariant answer = next();
    if (ok)
        *ok = answer.isValid();
    return answer.isValid() ? answer.toInt() : value;
}
