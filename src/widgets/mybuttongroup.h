#ifndef MYBUTTONGROUP_H
#define MYBUTTONGROUP_H

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;
class QGridLayout;
class QSignalMapper;
class QWidget;

// Turns a choice list into a grid of exclusive, checkable buttons inside a container widget.
// Entry i of the list becomes a button that, when clicked, emits sendCommand(command, "i").
// An empty entry makes no button but keeps its index, so the following buttons still send
// their position in the list.
//
// The buttons belong to the container; the group, its QButtonGroup and its mapper belong to
// whoever holds the group. To show another list in the same container, call clearButtons() on
// the old group and build a new group.
class MyButtonGroup : public QObject
{
    Q_OBJECT

public:
    MyButtonGroup(const QStringList& values, QWidget* container, const QString& command,
                  QObject* parent = nullptr);

    // Builds the grid. Called once after construction; calling it again rebuilds it.
    void createButtons();
    // Deletes the buttons this group made; other widgets in the container are left alone.
    void clearButtons();

    // Checks every button whose text equals `text` ignoring case. Sends nothing.
    void setCheckedByText(const QString& text);
    // Clicks every button whose text equals `text` ignoring case, which sends its command.
    void clickByText(const QString& text);
    // The text of the first checked button, or the empty text when none is checked.
    QString checkedText() const;
    // Gives button k (in list order, empty entries skipped) the tool tip tips[k].
    void setToolTips(const QStringList& tips);
    // Gives every button the large style of the timing preset page. The font is not used.
    void setButtonFont(const QFont& font);

    QStringList values() const { return m_values; }
    QString command() const { return m_command; }
    QWidget* container() const { return m_container; }
    QButtonGroup* buttonGroup() const { return m_buttonGroup; }

signals:
    void sendCommand(const QString& command, const QString& param);

public slots:
    // Emits sendCommand(command, value) with the value in decimal.
    void valueChanged(int value);

private:
    QGridLayout* gridLayout();
    QList<QPointer<QAbstractButton>> guardedButtons() const;

    QStringList m_values;
    QWidget* m_container;
    QString m_command;
    QButtonGroup* m_buttonGroup = nullptr;
    QSignalMapper* m_mapper = nullptr;
};

#endif // MYBUTTONGROUP_H
