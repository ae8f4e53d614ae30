// The "EDID Summary" dock (layout, showing and hiding, diff view), its text export and the
// "Upload EDID to device" dialog with a double of the telnet-driven matrix controller.
#include "plexatest.h"
#include "connections.h"
#include "edidbuilder.h"
#include "edidmanagement.h"
#include "edidwindowfixture.h"
#include "endpoints.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QToolButton>

class EdidWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::diffButton;
    using MainWindow::ipProductList;
    using MainWindow::saveTextButton;
    using MainWindow::summaryDock;
    using MainWindow::summaryText;
    using MainWindow::summaryVisible;
    using MainWindow::uploadDeviceGrid;
    using MainWindow::uploadEdidDialog;
};

namespace {
_Device unit(const QString& productName, quint8 last, quint16 telnetPort)
{
    _Device d;
    const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, last};
    std::copy(mac, mac + 6, d.mac);
    const quint8 ip[4] = {10, 0, 0, last};
    std::copy(ip, ip + 4, d.ip);
    d.telnetPort = telnetPort;
    d.productName = productName;
    return d;
}

QWidget* cell(QGridLayout* grid, int row, int column)
{
    QLayoutItem* item = grid->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

QString cellText(QGridLayout* grid, int row, int column)
{
    QWidget* w = cell(grid, row, column);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QToolButton*>(w))
        return button->text() + QLatin1Char('@') + button->objectName();
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return QLatin1Char('[') + items.join(QLatin1Char('|')) + QLatin1Char(']');
    }
    return w ? QStringLiteral("?") : QString();
}

// The dialog's grid as text, row by row, cells joined by " ; ".
QStringList gridRows(QGridLayout* grid)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << cellText(grid, r, c);
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        if (!cells.isEmpty())
            rows << cells.join(QStringLiteral(" ; "));
    }
    return rows;
}

using PlexaTest::readFile;
} // namespace

class TestEdidSummary : public EdidWindowTest
{
    Q_OBJECT

private:
    struct Fixture : EdidWindowFixture<EdidWindow> {
        using EdidWindowFixture::EdidWindowFixture;
        QGridLayout* grid() const { return window->uploadDeviceGrid; }
    };

private slots:
    // ---- The dock -------------------------------------------------------------------------------

    void dockLayout()
    {
        Fixture f(drm.path());
        EdidWindow& w = *f.window;
        QCOMPARE(w.summaryDock->windowTitle(), QStringLiteral("EDID Summary"));
        QCOMPARE(w.dockWidgetArea(w.summaryDock), Qt::RightDockWidgetArea);
        QVERIFY(w.summaryDock->isHidden());
        QVERIFY(!w.summaryVisible);

        auto* grid = qobject_cast<QGridLayout*>(w.summaryDock->widget()->layout());
        QVERIFY(grid);
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(w.summaryText), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}), QList<int>({0, 0, 1, 12}));
        QVERIFY(cell(grid, 1, 0)->styleSheet().contains(QLatin1String("background-color: #FF7F7F;")));
        QCOMPARE(cellText(grid, 1, 1), QStringLiteral("Removed"));
        QVERIFY(cell(grid, 1, 3)->styleSheet().contains(QLatin1String("background-color: #00FF00;")));
        QCOMPARE(cellText(grid, 1, 4), QStringLiteral("Added"));
        QCOMPARE(cell(grid, 1, 4)->styleSheet(), QStringLiteral("QLabel {color: white;}"));
        QCOMPARE(cell(grid, 1, 10), static_cast<QWidget*>(w.diffButton));
        QCOMPARE(cell(grid, 1, 11), static_cast<QWidget*>(w.saveTextButton));

        QCOMPARE(w.diffButton->text(), QStringLiteral("Diff"));
        QCOMPARE(w.diffButton->toolTip(), QStringLiteral("Show/Hide Diff"));
        QVERIFY(w.diffButton->isCheckable());
        QVERIFY(w.diffButton->isChecked());
        QCOMPARE(w.diffButton->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(!w.diffButton->icon().isNull());
        QCOMPARE(w.saveTextButton->text(), QStringLiteral("Save"));
        QCOMPARE(w.saveTextButton->toolTip(), QStringLiteral("Save as Text"));
        QVERIFY(!w.saveTextButton->icon().isNull());

        QCOMPARE(w.summaryText->font().family(), QStringLiteral("Courier"));
        QCOMPARE(w.summaryText->font().pointSize(), 10);
        QCOMPARE(w.summaryText->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(w.summaryText->minimumWidth(), 500);
        // The editor writes its description into the dock.
        QCOMPARE(f.editor()->textEdit(), w.summaryText);

        QVERIFY(outgoingConnections(w.diffButton).filter(QStringLiteral("clicked -> ")).join(QLatin1Char(' ')).contains(QLatin1String("toggleDiff")));
        QVERIFY(outgoingConnections(w.saveTextButton).filter(QStringLiteral("clicked -> ")).join(QLatin1Char(' ')).contains(QLatin1String("saveText")));
    }

    // Docked at the side, showing the dock widens the window; hiding it narrows it again.
    void showAndHide()
    {
        Fixture f(drm.path());
        EdidWindow& w = *f.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int narrow = w.width();

        f.window->showSummaryWindow();
        QVERIFY(w.summaryDock->isVisible());
        QVERIFY(w.summaryVisible);
        QTRY_COMPARE(w.size(), w.maximumSize());

        f.window->showSummaryWindow();
        QVERIFY(w.summaryDock->isHidden());
        QVERIFY(!w.summaryVisible);
        QTRY_VERIFY(w.width() <= narrow);
        QCOMPARE(w.width(), std::max(w.minimumWidth(), w.minimumSizeHint().width()));

        // Floating, the dock leaves the window's size alone.
        w.summaryDock->setFloating(true);
        const QSize before = w.size();
        f.window->showSummaryWindow();
        QVERIFY(w.summaryDock->isVisible());
        QCOMPARE(w.size(), before);
    }

    // The Diff button switches the editor's view between the comparison and the plain text;
    // the comparison colours removed and added text as the legend shows.
    void diffView()
    {
        Fixture f(drm.path());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plain.bin"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(EdidBuilder().displayDescriptor(1, 0xFC, "BEFORE").build());
        }
        dialogs.answerPath(path);
        f.window->openEDIDFromFile();
        QVERIFY(!f.editor()->description().isEmpty());
        QVERIFY(f.window->summaryText->toPlainText().contains(QLatin1String("BEFORE")));

        // An edit: the monitor name changes.
        f.editor()->editEDID();
        f.ui()->monitorName->setText(QStringLiteral("AFTER"));
        const QString html = f.window->summaryText->toHtml().toLower();
        QVERIFY2(html.contains(QLatin1String("#00ff00")), "added text is green");
        QVERIFY2(html.contains(QLatin1String("#ff7f7f")), "removed text is light red");

        f.window->diffButton->click(); // off: plain text
        QVERIFY(!f.window->diffButton->isChecked());
        QVERIFY(!f.editor()->diffModeOn());
        QVERIFY(!f.window->summaryText->toHtml().toLower().contains(QLatin1String("#00ff00")));
        QVERIFY(f.window->summaryText->toPlainText().contains(QLatin1String("AFTER")));
        f.window->diffButton->click(); // on again
        QVERIFY(f.editor()->diffModeOn());
    }

    // ---- Text export ----------------------------------------------------------------------------

    void saveTextWritesCrLf()
    {
        Fixture f(drm.path());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("summary.txt"));
        {
            QFile old(path); // a longer old file leaves nothing behind
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(4096, 'x'));
        }
        f.window->summaryText->setPlainText(QStringLiteral("Block 0\nManufacturer: VLM\n\nChecksum: 0x1A"));
        dialogs.answerPath(path);
        f.window->saveTextButton->click();

        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().kind, DialogBackend::Kind::SaveFile);
        QCOMPARE(dialogs.shown().first().text, QStringLiteral("Select File to Save As"));
        QCOMPARE(readFile(path), QByteArray("Block 0\r\nManufacturer: VLM\r\n\r\nChecksum: 0x1A"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"summary.txt"}); // no temporary left
    }

    void saveTextFailureIsReported()
    {
        Fixture f(drm.path());
        QTemporaryDir dir;
        // The parent "folder" is a file: nothing can be created below it, even as root.
        const QString notAFolder = dir.filePath(QStringLiteral("plain-file"));
        {
            QFile file(notAFolder);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep");
        }
        f.window->summaryText->setPlainText(QStringLiteral("text"));
        dialogs.answerPath(notAFolder + QStringLiteral("/summary.txt"));
        f.window->saveTextButton->click();
        QCOMPARE(dialogs.shown().size(), 2);
        QCOMPARE(dialogs.shown().last().kind, DialogBackend::Kind::Critical);
        QCOMPARE(dialogs.shown().last().title, QStringLiteral("I/O Error"));
        QCOMPARE(readFile(notAFolder), QByteArray("keep"));

        // A cancelled dialog writes nothing and says nothing.
        dialogs.clear();
        dialogs.answerCancel();
        f.window->saveTextButton->click();
        QCOMPARE(dialogs.shown().size(), 1);
    }

    // ---- Upload to devices ----------------------------------------------------------------------

    // One row per supported unit, without gaps; a wait per listed unit while the progress
    // dialog is up; an Upload button named after its row, address and telnet port.
    void uploadDialogRows()
    {
        Fixture f(drm.path());
        EdidWindow& w = *f.window;
        w.ipProductList = {EthernetUnit(unit("Tarvel 200", 1, 23)), EthernetUnit(unit("Quillon 4x4", 5, 2323)),
                           EthernetUnit(unit("Rennart 8x8", 9, 23))};
        f.factory.script.availableInputs.insert(QStringLiteral("10.0.0.5"), {"Input 1", "Input 10"});
        f.factory.log.clear();

        QElapsedTimer timer;
        timer.start();
        f.window->uploadEDIDToDevice();
        QVERIFY(timer.elapsed() >= 3 * TimeScale::ms(1000) - 5);

        QVERIFY(w.uploadEdidDialog->isVisible());
        QVERIFY(!w.uploadEdidDialog->isModal());
        QCOMPARE(gridRows(f.grid()),
                 (QStringList{"Quillon 4x4, MAC: 02:1C:9A:0A:FF:05 ; [Input 1|Input 10] ; Upload@0,10.0.0.5,2323",
                              "Rennart 8x8, MAC: 02:1C:9A:0A:FF:09 ; No custom & unlocked inputs found."}));
        QCOMPARE(f.factory.log.callsTo(QStringLiteral("Ostrand")),
                 (QStringList{"Ostrand::getAvailableInputs(Quillon 4x4, 10.0.0.5, 2323)",
                              "Ostrand::getAvailableInputs(Rennart 8x8, 10.0.0.9, 23)"}));
        auto* upload = qobject_cast<QToolButton*>(cell(f.grid(), 0, 2));
        QCOMPARE(upload->minimumWidth(), 100);
        QCOMPARE(qobject_cast<QComboBox*>(cell(f.grid(), 0, 1))->styleSheet(), QStringLiteral("width: 50px;"));

        // Filled again: the old rows are gone, not stacked under the new ones. (The hub's own
        // refresh may have replaced the unit list during the waits, so it is set again.)
        w.ipProductList = {EthernetUnit(unit("Quillon 4x4", 5, 2323)), EthernetUnit(unit("Rennart 8x8", 9, 23))};
        f.window->uploadEDIDToDevice();
        QCOMPARE(gridRows(f.grid()).size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.uploadEdidDialog->findChildren<QToolButton*>().size(), 1);
    }

    void uploadDialogWithoutSupportedUnits()
    {
        Fixture f(drm.path());
        f.window->ipProductList = {EthernetUnit(unit("Tarvel 200", 1, 23))};
        QElapsedTimer timer;
        timer.start();
        f.window->uploadEDIDToDevice();
        QVERIFY(timer.elapsed() < 1000); // no progress, no waits
        QCOMPARE(gridRows(f.grid()), QStringList{"Supported devices not found"});
        QVERIFY(f.factory.log.callsTo(QStringLiteral("Ostrand")).isEmpty());
    }

    // The upload sends the editor's EDID to the whole input number ("Input 10" is 10), at the
    // address the button names, even when the unit list has changed since.
    void uploadSendsToTheChosenInput_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("sent");
        QTest::newRow("one digit") << "Input 7" << "7";
        QTest::newRow("two digits") << "Input 10" << "10";
        QTest::newRow("three digits") << "Input 128" << "128";
    }
    void uploadSendsToTheChosenInput()
    {
        QFETCH(QString, input);
        QFETCH(QString, sent);
        Fixture f(drm.path());
        f.window->ipProductList = {EthernetUnit(unit("Quillon 4x4", 5, 2323))};
        f.factory.script.availableInputs.insert(QStringLiteral("10.0.0.5"), {"Input 1", input});
        f.window->uploadEDIDToDevice();

        // The EDID on show in the editor.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shown.bin"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(EdidBuilder().displayDescriptor(1, 0xFC, "UPLOAD").build());
        }
        dialogs.answerPath(path);
        f.window->openEDIDFromFile();

        f.window->ipProductList.clear();
        qobject_cast<QComboBox*>(cell(f.grid(), 0, 1))->setCurrentIndex(1);
        f.factory.log.clear();
        qobject_cast<QToolButton*>(cell(f.grid(), 0, 2))->click();

        const QByteArray edid = f.editor()->currentEdid();
        QVERIFY(!edid.isEmpty());
        QCOMPARE(f.factory.log.callsTo(QStringLiteral("Ostrand")),
                 QStringList{QStringLiteral("Ostrand::uploadCustomEDID(%1, 10.0.0.5, 2323, %2 bytes, Quillon 4x4)")
                                 .arg(sent)
                                 .arg(edid.size())});
        QCOMPARE(f.factory.ostrand->uploads, QList<QByteArray>{edid});
    }
};

PLEXA_TEST_MAIN(TestEdidSummary)
#include "tst_edid_summary.moc"
