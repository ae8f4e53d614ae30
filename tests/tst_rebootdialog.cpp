// The manual-reboot notice: how each way of ending it is reported to the firmware page.
#include "plexatest.h"
#include "rebootdialog.h"
#include "scripteddialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

class TestRebootDialog : public QObject
{
    Q_OBJECT

private:
    // Runs the dialog modally and performs `during` once it is up. When the dialog is still open
    // afterwards, that is recorded and it is ended with closeDialog().
    static int runWith(RebootDialog& dialog, const std::function<void()>& during, bool* stayedOpen = nullptr)
    {
        QTimer::singleShot(0, &dialog, [&]() {
            during();
            const bool open = dialog.isVisible();
            if (stayedOpen)
                *stayedOpen = open;
            if (open)
                dialog.closeDialog();
        });
        return dialog.exec();
    }

    static QLabel* notice(RebootDialog& dialog)
    {
        return dialog.findChild<QLabel*>(QStringLiteral("disconnectDetection"));
    }

private slots:
    void form()
    {
        QWidget owner;
        RebootDialog dialog(&owner);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Reboot required."));
        QCOMPARE(dialog.size(), QSize(400, 300));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("label"))->text().contains("a manual reboot is required"));
        QCOMPARE(notice(dialog)->text(), QStringLiteral("Disconnect detected."));
        QVERIFY(notice(dialog)->isHidden());
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("abortButton"))->text(), QStringLiteral("Cancel"));
    }

    // Every way out: the unit came back, or the user gave up after confirming. Cancel, Esc and
    // closing the window all ask first; No keeps the wait going.
    void endings_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");   // to the confirmation; NoButton = none expected
        QTest::addColumn<int>("result");   // of exec()
        QTest::addColumn<bool>("stayedOpen");
        QTest::newRow("unit reconnected") << "closeDialog" << int(QMessageBox::NoButton) << 1 << false;
        QTest::newRow("Cancel, Yes") << "cancel" << int(QMessageBox::Yes) << 0 << false;
        QTest::newRow("Cancel, No") << "cancel" << int(QMessageBox::No) << 1 << true;
        QTest::newRow("Esc, Yes") << "escape" << int(QMessageBox::Yes) << 0 << false;
        QTest::newRow("Esc, No") << "escape" << int(QMessageBox::No) << 1 << true;
        QTest::newRow("window closed, Yes") << "close" << int(QMessageBox::Yes) << 0 << false;
        QTest::newRow("window closed, No") << "close" << int(QMessageBox::No) << 1 << true;
    }
    void endings()
    {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(bool, stayedOpen);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        if (answer != QMessageBox::NoButton)
            dialogs.answerButton(QMessageBox::StandardButton(answer));
        QWidget owner;
        RebootDialog dialog(&owner);
        QSignalSpy completed(&dialog, &RebootDialog::rebootCompleted);
        int signalsWhileOpen = -1;

        bool open = false;
        const int code = runWith(
            dialog,
            [&]() {
                if (action == QLatin1String("closeDialog"))
                    dialog.closeDialog();
                else if (action == QLatin1String("cancel"))
                    dialog.findChild<QPushButton*>(QStringLiteral("abortButton"))->click();
                else if (action == QLatin1String("escape"))
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                else
                    dialog.close();
                signalsWhileOpen = completed.count();
            },
            &open);

        QCOMPARE(code, result);
        QCOMPARE(open, stayedOpen);
        if (stayedOpen)
            QCOMPARE(signalsWhileOpen, 0);
        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toBool(), result == 1);
        if (answer == QMessageBox::NoButton) {
            QVERIFY(dialogs.shown().isEmpty());
        } else {
            QCOMPARE(dialogs.shown().size(), 1);
            QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Firmware Update"));
            QCOMPARE(dialogs.shown().at(0).text,
                     QStringLiteral("Are you sure you want to cancel the firmware update process?"));
        }
    }

    // The page keeps one dialog for the whole run: a disconnect seen in one update is not shown
    // at the start of the next.
    void disconnectNoticePerRun()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        dialogs.answerButton(QMessageBox::Yes);
        QWidget owner;
        RebootDialog dialog(&owner);

        bool shownDuringRun = false;
        runWith(dialog, [&]() {
            dialog.showDisconnectDetected();
            shownDuringRun = notice(dialog)->isVisible();
            dialog.closeDialog();
        });
        QVERIFY(shownDuringRun);

        bool hiddenAtStart = false;
        runWith(dialog, [&]() {
            hiddenAtStart = notice(dialog)->isHidden();
            dialog.onCancelClick();
        });
        QVERIFY(hiddenAtStart);
    }
};

PLEXA_TEST_MAIN(TestRebootDialog)
#include "tst_rebootdialog.moc"
