// The shared input widgets: how a choice list becomes a button grid and what its buttons send,
// when a slider with its line edit sends its value, and Enter on the two spin boxes.
#include "plexatest.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "mydoublespinbox.h"
#include "myrangeeditor.h"
#include "myspinbox.h"
#include "timescale.h"

#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A button group shown in its own container, with a spy on what it sends.
struct GroupFixture
{
    GroupFixture(const QStringList& values, const QString& command)
        : group(values, &container, command)
        , sent(&group, &MyButtonGroup::sendCommand)
    {
        group.createButtons();
        container.resize(900, 700);
        container.show();
    }

    QList<QAbstractButton*> buttons() const { return group.buttonGroup()->buttons(); }
    QAbstractButton* button(const QString& text) const
    {
        for (QAbstractButton* b : buttons())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    QGridLayout* grid() const { return qobject_cast<QGridLayout*>(container.layout()); }

    QWidget container;
    MyButtonGroup group;
    QSignalSpy sent;
};

// A slider from 0 to 100 and its line edit, shown, under a range editor.
struct RangeFixture
{
    RangeFixture()
        : editor(&slider, &edit, QStringLiteral("#SET_CONTRAST"))
        , sent(&editor, &MyRangeEditor::sendCommand)
    {
        auto layout = new QVBoxLayout(&window);
        slider.setOrientation(Qt::Horizontal);
        slider.setRange(0, 100);
        slider.setFixedWidth(320); // wide enough that every value has its own pixel
        layout->addWidget(&slider);
        layout->addWidget(&edit);
        window.show();
    }

    QPoint handleCentre()
    {
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = slider.orientation();
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = slider.sliderPosition();
        option.sliderValue = slider.value();
        option.subControls = QStyle::SC_All;
        return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
    }

    void mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, pos, slider.mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    }
    void pressHandle()
    {
        dragPoint = handleCentre();
        mouse(QEvent::MouseButtonPress, dragPoint, Qt::LeftButton);
    }
    // Moves the held handle pixel by pixel until the slider shows `value`.
    void dragTo(int value)
    {
        const int step = value > slider.value() ? 1 : -1;
        for (int i = 0; i < 1000 && slider.value() != value; ++i) {
            dragPoint.rx() += step;
            mouse(QEvent::MouseMove, dragPoint, Qt::LeftButton);
        }
    }
    void release() { mouse(QEvent::MouseButtonRelease, dragPoint, Qt::NoButton); }

    void enter(const QString& text)
    {
        edit.clear();
        QTest::keyClicks(&edit, text);
        QTest::keyClick(&edit, Qt::Key_Return);
    }

    QStringList params() const
    {
        QStringList list;
        for (const QList<QVariant>& call : sent) {
            if (call.at(0).toString() != QLatin1String("#SET_CONTRAST"))
                list << QStringLiteral("wrong command %1").arg(call.at(0).toString());
            list << call.at(1).toString();
        }
        return list;
    }

    QWidget window;
    QSlider slider;
    QLineEdit edit;
    MyRangeEditor editor;
    QSignalSpy sent;
    QPoint dragPoint;
};

int settleMs()
{
    return TimeScale::ms(MyRangeEditor::SettleTimeMs);
}

// Lets more than the settle time pass, so a pending send would have happened.
void waitPastSettle()
{
    QTest::qWait(3 * settleMs() + 20);
}

// Sets the time scale for one test and puts it back afterwards.
struct TimeScaleScope
{
    explicit TimeScaleScope(double factor) : saved(TimeScale::factor()) { TimeScale::setFactor(factor); }
    ~TimeScaleScope() { TimeScale::setFactor(saved); }
    double saved;
};

QStringList numbered(int count)
{
    return OUTPUT_RES_CHOICES.mid(0, count);
}

} // namespace

class TestInputWidgets : public QObject
{
    Q_OBJECT

private slots:
    // ---- MyButtonGroup ------------------------------------------------------------------------

    // Column count by command and list length, column-by-column filling with no holes, and the
    // tall buttons of short output resolution lists.
    void gridLayout_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("minimumHeight");
        QTest::addColumn<int>("verticalSpacing"); // -1: not checked

        QTest::newRow("colour range") << COLOR_RANGE_CHOICES << "#SET_COLOR_RANGE" << 2 << 2 << 1 << 0 << 6;
        QTest::newRow("3 entries") << OUTPUT_COLOR_CHOICES << "#SET_OUTPUT_COLOR" << 3 << 3 << 1 << 0 << 6;
        QTest::newRow("4 entries") << EDGE_ENHANCE_CHOICES << "#SET_EDGE_ENHANCE" << 4 << 4 << 1 << 0 << 6;
        QTest::newRow("5 entries") << numbered(5) << "#SET_EDID_MODE" << 5 << 3 << 2 << 0 << 6;
        QTest::newRow("8 entries") << CAVROSH_EDID_MODE_CHOICES << "#SET_EDID_MODE" << 8 << 3 << 3 << 0 << 6;
        QTest::newRow("first entry empty") << LUNMORA_EDID_MODE_CHOICES << "#SET_EDID_MODE" << 8 << 3 << 3 << 0 << 6;
        QTest::newRow("test patterns") << TEST_PATTERN_CHOICES << "#SET_TEST_PATTERNS" << 7 << 3 << 3 << 90 << -1;
        QTest::newRow("resolutions 14") << numbered(14) << "#SET_OUTPUT_RES" << 14 << 1 << 14 << 40 << 12;
        QTest::newRow("resolutions 15") << numbered(15) << "#SET_OUTPUT_RES" << 15 << 2 << 8 << 40 << 12;
        QTest::newRow("SDI resolutions 22") << SDI_OUTPUT_RES_CHOICES << "#SET_OUTPUT_RES" << 22 << 2 << 11 << 40 << 12;
        QTest::newRow("resolutions 29") << numbered(29) << "#SET_OUTPUT_RES" << 29 << 2 << 15 << 40 << 12;
        QTest::newRow("resolutions 30") << numbered(30) << "#SET_OUTPUT_RES" << 30 << 3 << 10 << 0 << 6;
        QTest::newRow("resolutions 45") << OUTPUT_RES_CHOICES << "#SET_OUTPUT_RES" << 45 << 3 << 15 << 0 << 6;
        QTest::newRow("empty list") << QStringList() << "#SET_EDID_MODE" << 0 << 0 << 0 << 0 << -1;
        QTest::newRow("empty resolution list") << QStringList() << "#SET_OUTPUT_RES" << 0 << 0 << 0 << 0 << -1;
        QTest::newRow("only empty entries") << QStringList{"", ""} << "#SET_EDID_MODE" << 0 << 0 << 0 << 0 << -1;
    }
    void gridLayout()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, command);
        QFETCH(int, buttons);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(int, minimumHeight);
        QFETCH(int, verticalSpacing);

        GroupFixture f(values, command);
        const QList<QAbstractButton*> list = f.buttons();
        QCOMPARE(list.size(), buttons);
        QCOMPARE(f.container.findChildren<QAbstractButton*>().size(), buttons);
        if (buttons == 0)
            return;

        QGridLayout* grid = f.grid();
        QVERIFY(grid);
        QSet<int> usedColumns;
        int usedRows = 0;
        for (int k = 0; k < list.size(); ++k) {
            QAbstractButton* b = list.at(k);
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(grid->indexOf(b), &row, &column, &rowSpan, &columnSpan);
            // Column by column, in list order, with no gap where an entry is empty.
            QCOMPARE(QPoint(column, row), QPoint(k / rows, k % rows));
            usedColumns << column;
            usedRows = qMax(usedRows, row + 1);
            QVERIFY(b->isCheckable());
            QCOMPARE(b->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
            QCOMPARE(b->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
            QCOMPARE(b->minimumHeight(), minimumHeight);
        }
        QCOMPARE(usedColumns.size(), columns);
        QCOMPARE(usedRows, rows);
        QVERIFY(f.group.buttonGroup()->exclusive());
        if (verticalSpacing >= 0)
            QCOMPARE(grid->verticalSpacing(), verticalSpacing);
    }

    void testPatternButtons()
    {
        GroupFixture f(TEST_PATTERN_CHOICES, QStringLiteral("#SET_TEST_PATTERNS"));
        const QList<QAbstractButton*> list = f.buttons();
        QCOMPARE(list.size(), 7);
        QCOMPARE(list.at(0)->text(), QStringLiteral("White"));
        for (int i = 0; i < list.size(); ++i) {
            auto tool = qobject_cast<QToolButton*>(list.at(i));
            QVERIFY(tool);
            const bool hasImage = i < 6;
            QCOMPARE(!tool->icon().isNull() && !tool->icon().availableSizes().isEmpty(), hasImage);
            if (hasImage) {
                QCOMPARE(tool->iconSize(), QSize(141, 80));
                QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            }
        }
        // White, Cross and Hatch make the first column.
        QGridLayout* grid = f.grid();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(grid->itemAtPosition(i, 0)->widget(), list.at(i));
    }

    // A click sends the entry's position in the list, counting empty entries, and checks only
    // the clicked button.
    void clickSendsIndex_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("param");
        QTest::newRow("Limited") << COLOR_RANGE_CHOICES << "#SET_COLOR_RANGE" << "Limited" << "1";
        QTest::newRow("first entry") << COLOR_RANGE_CHOICES << "#SET_COLOR_RANGE" << "Full" << "0";
        QTest::newRow("after an empty first entry") << LUNMORA_EDID_MODE_CHOICES << "#SET_EDID_MODE"
                                                    << "Internal - RUVASKO 4K 2CH" << "1";
        QTest::newRow("last after an empty entry") << LUNMORA_EDID_MODE_CHOICES << "#SET_EDID_MODE" << "External" << "8";
        QTest::newRow("Auto-Detect") << OUTPUT_RES_CHOICES << "#SET_OUTPUT_RES" << "Auto-Detect" << "21";
        QTest::newRow("pattern without image") << TEST_PATTERN_CHOICES << "#SET_TEST_PATTERNS" << "Off" << "6";
        QTest::newRow("output HDCP") << OUTPUT_HDCP_CHOICES << "#SET_OUTPUT_HDCP 3" << "ALWAYS ENCODE" << "1";
    }
    void clickSendsIndex()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, command);
        QFETCH(QString, text);
        QFETCH(QString, param);

        GroupFixture f(values, command);
        QVERIFY(QTest::qWaitForWindowExposed(&f.container));
        QAbstractButton* other = f.buttons().constLast() == f.button(text) ? f.buttons().constFirst() : f.buttons().constLast();
        other->setChecked(true);

        QAbstractButton* b = f.button(text);
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(f.sent.count(), 1);
        QCOMPARE(f.sent.at(0), (QList<QVariant>{command, param}));
        QVERIFY(b->isChecked());
        QVERIFY(!other->isChecked());
        QCOMPARE(f.group.checkedText(), text);
    }

    // Every button of every choice list sends the position of its entry.
    void everyChoiceListSendsPositions()
    {
        const QList<QStringList> lists{OUTPUT_COLOR_CHOICES, OUTPUT_MODE_CHOICES, OUTPUT_LOCK_CHOICES,
                                       COLOR_RANGE_CHOICES, COLOR_TEMP_CHOICES, EDGE_ENHANCE_CHOICES,
                                       ASPECT_RATIO_CHOICES, TEST_PATTERN_CHOICES, INPUT_SELECT_CHOICES,
                                       EDID_MODE_CHOICES, ZARRICK_EDID_MODE_CHOICES, CAVROSH_EDID_MODE_CHOICES,
                                       JOVARIS_EDID_MODE_CHOICES, NORRITH_EDID_MODE_CHOICES,
                                       LUNMORA_EDID_MODE_CHOICES, INPUT_HDCP_CHOICES, OUTPUT_HDCP_CHOICES,
                                       SYNC_POLARITY_CHOICES, SDI_OUTPUT_RES_CHOICES, OUTPUT_RES_CHOICES};
        for (const QStringList& values : lists) {
            GroupFixture f(values, QStringLiteral("#SET_X"));
            QCOMPARE(f.buttons().size(), choiceButtonCount(values));
            for (QAbstractButton* b : f.buttons()) {
                f.sent.clear();
                b->click();
                QCOMPARE(f.sent.count(), 1);
                QCOMPARE(f.sent.at(0).at(1).toString(), choiceParam(values, b->text()));
            }
        }
    }

    // Showing a device's state checks without sending; applying imported settings clicks and
    // sends. Both ignore case; a text that matches nothing changes nothing.
    void checkAndClickByText()
    {
        GroupFixture f(COLOR_RANGE_CHOICES, QStringLiteral("#SET_COLOR_RANGE"));
        QCOMPARE(f.group.checkedText(), QString());

        f.group.setCheckedByText(QStringLiteral("limited"));
        QCOMPARE(f.group.checkedText(), QStringLiteral("Limited"));
        f.group.setCheckedByText(QStringLiteral("Partial"));
        QCOMPARE(f.group.checkedText(), QStringLiteral("Limited"));
        QCOMPARE(f.sent.count(), 0);

        f.group.clickByText(QStringLiteral("FULL"));
        QCOMPARE(f.group.checkedText(), QStringLiteral("Full"));
        f.group.clickByText(QStringLiteral("Partial"));
        QCOMPARE(f.group.checkedText(), QStringLiteral("Full"));
        QCOMPARE(f.sent.count(), 1);
        QCOMPARE(f.sent.at(0), (QList<QVariant>{"#SET_COLOR_RANGE", "0"}));
    }

    // Tool tips go to the buttons in order; an entry without a button takes no tip.
    void toolTipsFollowButtons()
    {
        GroupFixture f(LUNMORA_EDID_MODE_CHOICES, QStringLiteral("#SET_EDID_MODE"));
        f.group.setToolTips({"a", "b", "c"}); // fewer tips than buttons leaves the rest without
        QCOMPARE(f.button("Internal - RUVASKO 4K 2CH")->toolTip(), QStringLiteral("a"));
        QCOMPARE(f.button("Custom - UHD 300 4K 2CH")->toolTip(), QStringLiteral("c"));
        QCOMPARE(f.button("External")->toolTip(), QString());
    }

    // Replacing a container's list: only the old group's buttons go; the page's own widgets,
    // nested ones included, stay and are deleted once, by their parent.
    void clearButtonsKeepsOtherWidgets()
    {
        QWidget container;
        auto layout = new QVBoxLayout(&container);
        QPointer<QLabel> label = new QLabel(QStringLiteral("Mode"), &container);
        QPointer<QFrame> frame = new QFrame(&container);
        QPointer<QPushButton> nested = new QPushButton(QStringLiteral("Apply"), frame);
        layout->addWidget(label);
        layout->addWidget(frame);
        container.show();

        auto oldGroup = new MyButtonGroup(COLOR_RANGE_CHOICES, &container, QStringLiteral("#SET_COLOR_RANGE"));
        oldGroup->createButtons();
        QSignalSpy oldSent(oldGroup, &MyButtonGroup::sendCommand);
        QCOMPARE(container.findChildren<QAbstractButton*>().size(), 3);

        oldGroup->clearButtons();
        QCOMPARE(oldGroup->buttonGroup()->buttons().size(), 0);
        QVERIFY(label && frame && nested);
        QCOMPARE(container.findChildren<QAbstractButton*>(), (QList<QAbstractButton*>{nested.data()}));
        oldGroup->clearButtons(); // nothing left to delete
        delete oldGroup;

        MyButtonGroup newGroup(EDID_MODE_CHOICES, &container, QStringLiteral("#SET_EDID_MODE"));
        newGroup.createButtons();
        QSignalSpy newSent(&newGroup, &MyButtonGroup::sendCommand);
        QCOMPARE(newGroup.buttonGroup()->buttons().size(), 2);
        QCOMPARE(container.findChildren<QAbstractButton*>().size(), 3);
        newGroup.clickByText(QStringLiteral("Custom"));
        QCOMPARE(newSent.count(), 1);
        QCOMPARE(newSent.at(0), (QList<QVariant>{"#SET_EDID_MODE", "1"}));
        QCOMPARE(oldSent.count(), 0);

        // Building again replaces the grid rather than adding a second one.
        newGroup.createButtons();
        QCOMPARE(container.findChildren<QAbstractButton*>().size(), 3);
    }

    // ---- MyRangeEditor ------------------------------------------------------------------------

    // A drag sends once, on release, whatever happens during it.
    void dragSendsOnceOnRelease_data()
    {
        QTest::addColumn<bool>("keyStepBefore"); // a keyboard change still settling when the drag starts
        QTest::addColumn<bool>("replyDuring");   // the device's value arrives during the drag
        QTest::newRow("plain drag") << false << false;
        QTest::newRow("key step just before") << true << false;
        QTest::newRow("device reply during drag") << false << true;
    }
    void dragSendsOnceOnRelease()
    {
        QFETCH(bool, keyStepBefore);
        QFETCH(bool, replyDuring);
        RangeFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.editor.setValue(10);
        if (keyStepBefore)
            QTest::keyClick(&f.slider, Qt::Key_Right);

        f.pressHandle();
        QVERIFY(f.slider.isSliderDown());
        f.dragTo(30);
        QCOMPARE(f.edit.text(), QStringLiteral("30"));
        if (replyDuring)
            f.editor.setValue(20);
        waitPastSettle();
        QCOMPARE(f.params(), QStringList());

        f.dragTo(50);
        QCOMPARE(f.edit.text(), QStringLiteral("50"));
        f.release();
        QCOMPARE(f.params(), QStringList{"50"});
        waitPastSettle();
        QCOMPARE(f.params(), QStringList{"50"});
    }

    // Keyboard steps send once, the settle time after the last one.
    void keyStepsSendAfterSettling()
    {
        TimeScaleScope scale(0.5); // room for the waits between steps on a busy machine
        RangeFixture f;
        f.editor.setValue(10);
        QElapsedTimer sinceLast;
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                QTest::qWait(settleMs() / 3);
            QTest::keyClick(&f.slider, Qt::Key_Right);
            sinceLast.start();
        }
        QCOMPARE(f.edit.text(), QStringLiteral("13"));
        QCOMPARE(f.params(), QStringList());
        QVERIFY(f.sent.wait(10 * settleMs()));
        QVERIFY2(sinceLast.elapsed() >= settleMs() * 9 / 10, qPrintable(QString::number(sinceLast.elapsed())));
        QCOMPARE(f.params(), QStringList{"13"});
        QTest::qWait(settleMs() + 50);
        QCOMPARE(f.params(), QStringList{"13"});
    }

    // Enter sends the typed number at once, kept within the slider's range; text that is not a
    // number sends nothing and shows the slider's value again.
    void enterInLineEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<int>("shown");
        QTest::newRow("in range") << "42" << QStringList{"42"} << 42;
        QTest::newRow("blanks around") << " 42 " << QStringList{"42"} << 42;
        QTest::newRow("above maximum") << "999" << QStringList{"100"} << 100;
        QTest::newRow("below minimum") << "-5" << QStringList{"0"} << 0;
        QTest::newRow("beyond int") << "99999999999" << QStringList{"100"} << 100;
        QTest::newRow("unchanged value") << "30" << QStringList{"30"} << 30;
        QTest::newRow("letters") << "abc" << QStringList() << 30;
        QTest::newRow("empty") << "" << QStringList() << 30;
        QTest::newRow("fraction") << "12.5" << QStringList() << 30;
        QTest::newRow("trailing junk") << "40x" << QStringList() << 30;
    }
    void enterInLineEdit()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, params);
        QFETCH(int, shown);
        RangeFixture f;
        f.editor.setValue(30);

        f.enter(typed);
        QCOMPARE(f.params(), params);
        QCOMPARE(f.slider.value(), shown);
        QCOMPARE(f.edit.text(), QString::number(shown));
        waitPastSettle(); // the slider's own change starts no second send
        QCOMPARE(f.params(), params);
    }

    // After Enter the slider goes on sending keyboard changes.
    void keyStepsStillSendAfterEnter()
    {
        RangeFixture f;
        f.editor.setValue(30);
        f.enter(QStringLiteral("42"));
        QTest::keyClick(&f.slider, Qt::Key_Right);
        QTRY_COMPARE(f.params(), (QStringList{"42", "43"}));
    }

    // A value read from the device is shown and not sent back.
    void setValueSendsNothing()
    {
        RangeFixture f;
        f.editor.setValue(30);
        QCOMPARE(f.slider.value(), 30);
        QCOMPARE(f.edit.text(), QStringLiteral("30"));
        waitPastSettle();
        QCOMPARE(f.params(), QStringList());
    }

    // ---- MySpinBox, MyDoubleSpinBox -----------------------------------------------------------

    void spinBoxEnter_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void spinBoxEnter()
    {
        QFETCH(int, key);
        checkEnter<MySpinBox>(Qt::Key(key));
        if (QTest::currentTestFailed())
            return;
        checkEnter<MyDoubleSpinBox>(Qt::Key(key));
    }

private:
    // Enter is reported, not handled by the spin box itself, and the typed value is taken before
    // the receiver reads it; other keys reach the spin box as usual.
    template<typename SpinBox>
    static void checkEnter(Qt::Key key)
    {
        QWidget window;
        auto spin = new SpinBox(&window);
        spin->setRange(0, 100);
        spin->setKeyboardTracking(false); // the value follows the text only when it is taken
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy entered(spin, &SpinBox::enterPressed);
        QSignalSpy finished(spin, &QAbstractSpinBox::editingFinished);
        double valueSeen = -1;
        connect(spin, &SpinBox::enterPressed, [&] { valueSeen = spin->value(); });

        spin->selectAll();
        QTest::keyClicks(spin, QStringLiteral("7"));
        QTest::ignoreMessage(QtDebugMsg, "enterPressed");
        QTest::keyClick(spin, key);
        QCOMPARE(entered.count(), 1);
        QCOMPARE(valueSeen, 7.0);
        QCOMPARE(finished.count(), 0);

        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(double(spin->value()), 8.0);
        QCOMPARE(entered.count(), 1);
    }
};

PLEXA_TEST_MAIN(TestInputWidgets)
#include "tst_inputwidgets.moc"
