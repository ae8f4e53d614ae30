#include "mybuttongroup.h"

#include "constants.h"
#include "resources.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QIcon>
#include <QIconEngine>
#include <QPointer>
#include <QPushButton>
#include <QSignalMapper>
#include <QToolButton>
#include <QWidget>

namespace {
const QString OutputResCommand = QStringLiteral("#SET_OUTPUT_RES");
const QString TestPatternCommand = QStringLiteral("#SET_TEST_PATTERNS");

// Output resolution lists are long: one column up to 14 entries, two up to 29, three beyond.
// Other lists put up to four entries in one row and use three columns beyond that.
int columnCount(const QString& command, int entries)
{
    if (command == OutputResCommand) {
        if (entries < 15)
            return 1;
        return entries < 30 ? 2 : 3;
    }
    return entries < 5 ? entries : 3;
}

// A picture file read when the icon is first drawn: the test-pattern pictures are built with the
// window but shown only on their page, and decoding them up front cost a sixth of start-up.
class DeferredFileIconEngine : public QIconEngine
{
public:
    explicit DeferredFileIconEngine(const QString& path) : m_path(path) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) const override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredFileIconEngine(m_path); }

private:
    const QIcon& icon() const
    {
        if (m_icon.isNull())
            m_icon = QIcon(m_path);
        return m_icon;
    }

    QString m_path;
    mutable QIcon m_icon;
};
} // namespace

MyButtonGroup::MyButtonGroup(const QStringList& values, QWidget* container, const QString& command,
                             QObject* parent)
    : QObject(parent)
    , m_values(values)
    , m_container(container)
    , m_command(command)
{
}

void MyButtonGroup::createButtons()
{
    clearButtons();
    delete m_mapper;
    delete m_buttonGroup;

    m_mapper = new QSignalMapper(this);
    connect(m_mapper, SIGNAL(mapped(int)), this, SLOT(valueChanged(int)));
    m_buttonGroup = new QButtonGroup(this);
    m_buttonGroup->setExclusive(true);

    const int entries = m_values.size();
    if (!m_container || entries == 0)
        return;

    const int columns = columnCount(m_command, entries);
    const int rows = entries >= columns ? (entries + columns - 1) / columns : 1;
    const bool testPatterns = m_command == TestPatternCommand;
    const bool tall = m_command == OutputResCommand && entries < 30;

    QGridLayout* grid = gridLayout();
    if (testPatterns)
        initPlexaResources();
    else
        grid->setVerticalSpacing(tall ? 12 : 6);

    int placed = 0;
    for (int i = 0; i < entries; ++i) {
        const QString& text = m_values.at(i);
        if (text.isEmpty())
            continue;

        QAbstractButton* button = nullptr;
        if (testPatterns) {
            auto toolButton = new QToolButton(m_container);
            toolButton->setText(text);
            toolButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            toolButton->setCheckable(true);
            toolButton->setStyleSheet(QStringLiteral("*{font: bold 12px;padding:5px;}"));
            if (i < TEST_PATTERN_IMAGES.size()) {
                toolButton->setIcon(QIcon(new DeferredFileIconEngine(TEST_PATTERN_IMAGES.at(i))));
                toolButton->setIconSize(QSize(141, 80));
                toolButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            }
            toolButton->setMinimumHeight(90);
            grid->addWidget(toolButton, i % rows, i / rows);
            button = toolButton;
        } else {
            auto pushButton = new QPushButton(text, m_container);
            pushButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            pushButton->setCheckable(true);
            if (tall)
                pushButton->setMinimumHeight(40);
            // Empty entries leave no gap: only placed buttons count towards the position.
            grid->addWidget(pushButton, placed % rows, placed / rows);
            button = pushButton;
        }
        ++placed;

        m_buttonGroup->addButton(button);
        m_mapper->setMapping(button, i);
        connect(button, SIGNAL(clicked()), m_mapper, SLOT(map()));
    }
}

void MyButtonGroup::clearButtons()
{
    if (!m_buttonGroup)
        return;
    // Deleting a button takes it out of the group and the layout. The guards make sure no
    // widget is deleted twice, even if deleting one button takes another with it.
    for (const QPointer<QAbstractButton>& button : guardedButtons())
        delete button.data();
}

QList<QPointer<QAbstractButton>> MyButtonGroup::guardedButtons() const
{
    QList<QPointer<QAbstractButton>> buttons;
    if (m_buttonGroup) {
        for (QAbstractButton* button : m_buttonGroup->buttons())
            buttons.append(button);
    }
    return buttons;
}

QGridLayout* MyButtonGroup::gridLayout()
{
    QLayout* layout = m_container->layout();
    if (!layout)
        return new QGridLayout(m_container);
    if (auto grid = qobject_cast<QGridLayout*>(layout))
        return grid;
    // A container laid out otherwise gets the grid nested in its layout, once.
    if (auto grid = layout->findChild<QGridLayout*>(QString(), Qt::FindDirectChildrenOnly))
        return grid;
    auto grid = new QGridLayout;
    if (auto box = qobject_cast<QBoxLayout*>(layout))
        box->addLayout(grid);
    else
        layout->addItem(grid);
    return grid;
}

void MyButtonGroup::valueChanged(int value)
{
    emit sendCommand(m_command, QString::number(value));
}

void MyButtonGroup::setCheckedByText(const QString& text)
{
    if (!m_buttonGroup)
        return;
    const QString wanted = text.toLower();
    for (QAbstractButton* button : m_buttonGroup->buttons()) {
        if (button->text().toLower() == wanted)
            button->setChecked(true);
    }
}

void MyButtonGroup::clickByText(const QString& text)
{
    if (!m_buttonGroup)
        return;
    // A click runs the page's command handler, which may rebuild the grid.
    const QString wanted = text.toLower();
    for (const QPointer<QAbstractButton>& button : guardedButtons()) {
        if (button && button->text().toLower() == wanted)
            button->click();
    }
}

QString MyButtonGroup::checkedText() const
{
    if (!m_buttonGroup)
        return QString();
    for (QAbstractButton* button : m_buttonGroup->buttons()) {
        if (button->isChecked())
            return button->text();
    }
    return QString();
}

void MyButtonGroup::setToolTips(const QStringList& tips)
{
    if (!m_buttonGroup)
        return;
    const QList<QAbstractButton*> buttons = m_buttonGroup->buttons();
    for (int k = 0; k < buttons.size() && k < tips.size(); ++k)
        buttons.at(k)->setToolTip(tips.at(k));
}

void MyButtonGroup::setButtonFont(const QFont& font)
{
    Q_UNUSED(font)
    if (!m_buttonGroup)
        return;
    for (QAbstractButton* button : m_buttonGroup->buttons())
        button->setStyleSheet(QStringLiteral("*{font:bold 20px;height:35px;}"));
}
