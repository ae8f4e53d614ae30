// The Discover page as the form builds it: the widgets the discovery controller and the main
// window address, where they sit, and the state they start in (settings fields locked until a
// device row is picked).
#include "plexatest.h"
#include "formtestutil.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpacerItem>
#include <QTableWidget>

class TestFormDiscover : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;


private slots:
    void initTestCase()
    {
        initPlexaResources();
        ui.setupUi(&window);
    }

    // Widgets placed by fixed geometry on the page.
    void placed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("text");
        QTest::newRow("myIpInfo") << "myIpInfo" << "QTableWidget" << QRect(10, 10, 571, 31) << true << "";
        QTest::newRow("tableWidget") << "tableWidget" << "QTableWidget" << QRect(10, 50, 571, 301) << true << "";
        QTest::newRow("refreshDevices") << "refreshDevices" << "QPushButton" << QRect(10, 353, 161, 28) << true
                                        << "Refresh devices";
        QTest::newRow("deviceSettingsLabel") << "deviceSettingsLabel" << "QLabel" << QRect(10, 385, 571, 31) << true
                                             << "Device Settings";
        QTest::newRow("groupBox") << "groupBox" << "QGroupBox" << QRect(10, 420, 571, 321) << true << "";
        QTest::newRow("saveButton") << "saveButton" << "QPushButton" << QRect(390, 752, 191, 30) << false << "Save";
    }

    void placed()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QRect, geometry);
        QFETCH(bool, enabled);
        QFETCH(QString, text);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(parentName(w), QStringLiteral("tab_5"));
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(w->isEnabled(), enabled);
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(b->text(), text);
        else if (auto* l = qobject_cast<QLabel*>(w))
            QCOMPARE(l->text(), text);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            QCOMPARE(g->title(), text);
    }

    // The settings grid: cell, class, text, initial enabled state and size policy of every widget.
    void settingsGrid_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("columnSpan");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("hPolicy");
        QTest::addColumn<int>("vPolicy");
        const int P = QSizePolicy::Preferred, E = QSizePolicy::Expanding, M = QSizePolicy::Minimum;
        auto caption = [&](const char* name, int row, int column, const char* text) {
            QTest::newRow(name) << name << "QLabel" << row << column << 1 << text << true << P << E;
        };
        auto value = [&](const char* name, int row, int column) {
            QTest::newRow(name) << name << "QLabel" << row << column << 1 << "" << true << P << E;
        };
        auto edit = [&](const char* name, int row, int column) {
            QTest::newRow(name) << name << "QLineEdit" << row << column << 1 << "" << false << E << E;
        };
        caption("label_16", 0, 0, "Product Name");
        value("label_ProdName", 0, 1);
        caption("label_6", 0, 3, "IP Mode");
        QTest::newRow("combobox_IPMode") << "combobox_IPMode" << "QComboBox" << 0 << 4 << 1 << "Static" << false
                                         << int(QSizePolicy::Preferred) << int(QSizePolicy::Fixed);
        caption("label", 1, 0, "MAC Address");
        value("label_MacAddr", 1, 1);
        caption("label_7", 1, 3, "Web GUI Port");
        edit("lineEdit_WebGUIPort", 1, 4);
        caption("label_2", 2, 0, "IP Address");
        edit("lineEdit_IP", 2, 1);
        caption("label_8", 2, 3, "Telnet Port");
        edit("lineEdit_TelnetPort", 2, 4);
        caption("label_3", 3, 0, "Subnet Mask");
        edit("lineEdit_Subnet", 3, 1);
        caption("label_10", 3, 3, "Firmware Version");
        value("label_FVersion", 3, 4);
        caption("label_4", 4, 0, "Gateway IP");
        edit("lineEdit_Gateway", 4, 1);
        caption("label_11", 4, 3, "Hardware Version");
        value("label_HVersion", 4, 4);
        caption("label_5", 5, 0, "DNS");
        edit("lineEdit_DNS", 5, 1);
        caption("label_12", 5, 3, "Description");
        edit("lineEdit_Description", 5, 4);
        QTest::newRow("label_WebGUI") << "label_WebGUI" << "QLabel" << 6 << 0 << 2 << "" << true << P << P;
        QTest::newRow("label_ProdPage") << "label_ProdPage" << "QLabel" << 6 << 3 << 2 << "" << true << P << P;
        QTest::newRow("rebootButton") << "rebootButton" << "QPushButton" << 7 << 0 << 2 << "Reboot" << false << M << E;
        QTest::newRow("showYourselfButton") << "showYourselfButton" << "QPushButton" << 7 << 3 << 2 << "Show Me"
                                            << false << M << E;
    }

    void settingsGrid()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, columnSpan);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(int, hPolicy);
        QFETCH(int, vPolicy);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(parentName(w), QStringLiteral("groupBox"));
        const int index = ui.gridLayout->indexOf(w);
        QVERIFY2(index >= 0, "not an item of gridLayout");
        int r, c, rs, cs;
        ui.gridLayout->getItemPosition(index, &r, &c, &rs, &cs);
        QCOMPARE(r, row);
        QCOMPARE(c, column);
        QCOMPARE(rs, 1);
        QCOMPARE(cs, columnSpan);
        QCOMPARE(w->isEnabled(), enabled);
        QCOMPARE(int(w->sizePolicy().horizontalPolicy()), hPolicy);
        QCOMPARE(int(w->sizePolicy().verticalPolicy()), vPolicy);
        if (auto* l = qobject_cast<QLabel*>(w))
            QCOMPARE(l->text(), text);
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(b->text(), text);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            QCOMPARE(e->text(), text);
        else if (auto* cb = qobject_cast<QComboBox*>(w))
            QCOMPARE(cb->currentText(), text);
        // Caption labels read at 9 pt in both halves of the grid.
        if (className == QLatin1String("QLabel") && !text.isEmpty())
            QCOMPARE(w->font().pointSize(), 9);
    }

    // Column 2 holds nothing but the spacer that splits the grid into two halves.
    void gridHalves()
    {
        QCOMPARE(ui.gridLayout->rowCount(), 8);
        QCOMPARE(ui.gridLayout->columnCount(), 5);
        QCOMPARE(ui.gridLayout->spacing(), 6);
        QCOMPARE(ui.gridLayout->contentsMargins(), QMargins(11, 11, 11, 11));
        QSpacerItem* spacer = nullptr;
        for (int i = 0; i < ui.gridLayout->count(); ++i) {
            int r, c, rs, cs;
            ui.gridLayout->getItemPosition(i, &r, &c, &rs, &cs);
            if (c <= 2 && c + cs > 2) {
                QVERIFY2(!spacer, "more than one item in column 2");
                spacer = ui.gridLayout->itemAt(i)->spacerItem();
                QVERIFY(spacer);
                QCOMPARE(r, 0);
                QCOMPARE(rs, 8);
                QCOMPARE(cs, 1);
            }
        }
        QVERIFY(spacer);
        QCOMPARE(spacer->sizeHint(), QSize(20, 239));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    }

    void deviceTable()
    {
        QTableWidget* t = ui.tableWidget;
        QCOMPARE(t->columnCount(), 4);
        QCOMPARE(t->rowCount(), 0);
        const QStringList headers{"Product Name", "IP Address", "MAC Address", "Description"};
        for (int i = 0; i < headers.size(); ++i) {
            QVERIFY(t->horizontalHeaderItem(i));
            QCOMPARE(t->horizontalHeaderItem(i)->text(), headers.at(i));
        }
        QCOMPARE(t->horizontalHeader()->defaultSectionSize(), 120);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(t->horizontalHeader()->sectionSize(i), 120);
        QVERIFY(!t->autoFillBackground());
        QCOMPARE(t->lineWidth(), 1);

        // The PC's strip gets its columns and cells from the discovery controller, not the form.
        QCOMPARE(ui.myIpInfo->columnCount(), 0);
        QCOMPARE(ui.myIpInfo->rowCount(), 0);
    }

    // With no rows the table shows the logo, centred once, on white, in the application style.
    void emptyTableShowsLogo()
    {
        QVERIFY(QFile::exists(QStringLiteral(":/images/Assets/Plexa_T_Logo.png")));
        qApp->setStyleSheet(plexaStyleSheet());
        const auto restore = qScopeGuard([this] {
            window.hide();
            qApp->setStyleSheet(QString());
        });
        window.show();
        ui.tabWidget->setCurrentWidget(ui.tab_5);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage image = ui.tableWidget->grab(ui.tableWidget->viewport()->geometry()).toImage();
        const QColor white(Qt::white);
        QCOMPARE(image.pixelColor(2, 2), white);
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3), white);
        int coloured = 0;
        for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
            for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x)
                coloured += image.pixelColor(x, y) != white;
        QVERIFY2(coloured > 100, "no logo in the middle of the table");
    }

    void ipModeItems()
    {
        QComboBox* c = ui.combobox_IPMode;
        QCOMPARE(c->count(), 3);
        // The index is the device's IP-mode code.
        QCOMPARE(c->itemText(0), QStringLiteral("Static"));
        QCOMPARE(c->itemText(1), QStringLiteral("DHCP"));
        QCOMPARE(c->itemText(2), QStringLiteral("Auto"));
        QCOMPARE(c->currentIndex(), 0);
    }

    // The device keeps at most 29 characters of description: the 30th keystroke is dropped.
    void descriptionLength()
    {
        QLineEdit* e = ui.lineEdit_Description;
        QCOMPARE(e->maxLength(), 29);
        e->setEnabled(true);
        QTest::keyClicks(e, QString(30, QLatin1Char('d')));
        QCOMPARE(e->text(), QString(29, QLatin1Char('d')));
        e->clear();
        e->setEnabled(false);
        // No other field is limited by the form.
        for (QLineEdit* other : {ui.lineEdit_IP, ui.lineEdit_Subnet, ui.lineEdit_Gateway, ui.lineEdit_DNS,
                                 ui.lineEdit_WebGUIPort, ui.lineEdit_TelnetPort}) {
            QCOMPARE(other->maxLength(), 32767);
            QVERIFY(other->inputMask().isEmpty());
            QVERIFY(!other->validator());
        }
    }

    void linkLabelsAndButtons()
    {
        for (QLabel* l : {ui.label_WebGUI, ui.label_ProdPage}) {
            QCOMPARE(l->minimumHeight(), 35);
            QCOMPARE(l->alignment(), Qt::AlignCenter);
            QCOMPARE(l->margin(), 10);
        }
        // Only the web link is clickable; the controller catches linkActivated to check the subnet first.
        QCOMPARE(ui.label_WebGUI->textInteractionFlags(), Qt::TextInteractionFlags(Qt::LinksAccessibleByMouse));
        QVERIFY(!ui.label_WebGUI->openExternalLinks());
        for (QPushButton* b : {ui.rebootButton, ui.showYourselfButton, ui.saveButton})
            QCOMPARE(b->minimumHeight(), 30);
        QCOMPARE(ui.deviceSettingsLabel->font().pointSize(), 10);
        QVERIFY(ui.deviceSettingsLabel->font().bold());
        QCOMPARE(ui.deviceSettingsLabel->alignment(), Qt::AlignCenter);
    }
};

PLEXA_TEST_MAIN(TestFormDiscover)
#include "tst_form_discover.moc"
