// The frame of the main form: the object names, classes, page lists and ids that the window,
// the controllers and the style sheet rely on.
#include "plexatest.h"
#include "ui_mainui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QMainWindow>
#include <QStatusBar>
#include <QTabWidget>
#include <QUiLoader>
#include <qcustomplot.h>

// Designer's loader with the plot widget plugged in, as Designer has it through its plugin.
class FormLoader : public QUiLoader
{
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        if (className == QLatin1String("QCustomPlot")) {
            auto* plot = new QCustomPlot(parent);
            plot->setObjectName(name);
            return plot;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

class TestFormFrame : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

    static QStringList titles(const QTabWidget* tabs)
    {
        QStringList list;
        for (int i = 0; i < tabs->count(); ++i)
            list << tabs->tabText(i);
        return list;
    }
    static QStringList pageNames(const QTabWidget* tabs)
    {
        QStringList list;
        for (int i = 0; i < tabs->count(); ++i)
            list << tabs->widget(i)->objectName();
        return list;
    }

private slots:
    void initTestCase() { ui.setupUi(&window); }

    void objects_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        const QRect any;
        QTest::newRow("centralFrame") << "centralFrame" << "QFrame" << "centralWidget" << QRect(10, 10, 601, 911);
        QTest::newRow("selectFunctionFrame") << "selectFunctionFrame" << "QFrame" << "centralFrame" << QRect(0, 0, 601, 81);
        QTest::newRow("functionLabel") << "functionLabel" << "QLabel" << "selectFunctionFrame" << QRect(10, 0, 141, 31);
        QTest::newRow("line_15") << "line_15" << "QFrame" << "selectFunctionFrame" << QRect(10, 20, 581, 16);
        QTest::newRow("functionDiscoverButton") << "functionDiscoverButton" << "QPushButton" << "selectFunctionFrame" << QRect(10, 40, 171, 31);
        QTest::newRow("functionManageButton") << "functionManageButton" << "QPushButton" << "selectFunctionFrame" << QRect(210, 40, 171, 31);
        QTest::newRow("functionEDIDButton") << "functionEDIDButton" << "QPushButton" << "selectFunctionFrame" << QRect(410, 40, 171, 31);
        QTest::newRow("tabWidget") << "tabWidget" << "QTabWidget" << "centralFrame" << QRect(0, 90, 601, 811);
        QTest::newRow("selectProductFrame") << "selectProductFrame" << "QFrame" << "tab_8" << QRect(0, 0, 598, 45);
        QTest::newRow("productFrame") << "productFrame" << "QFrame" << "selectProductFrame" << QRect(10, 6, 581, 38);
        QTest::newRow("layoutWidget2") << "layoutWidget2" << "QWidget" << "productFrame" << QRect(0, 1, 571, 32);
        QTest::newRow("productLabel") << "productLabel" << "QLabel" << "layoutWidget2" << any;
        QTest::newRow("productCombobox") << "productCombobox" << "QComboBox" << "layoutWidget2" << any;
        QTest::newRow("ConfiguratorTabs") << "ConfiguratorTabs" << "QTabWidget" << "tab_8" << QRect(0, 60, 598, 745);
        QTest::newRow("EDIDPlusTabs") << "EDIDPlusTabs" << "QWidget" << "tab_7" << QRect(10, 50, 574, 751);
        QTest::newRow("managementTabs") << "managementTabs" << "QTabWidget" << "EDIDPlusTabs" << QRect(10, 80, 552, 621);
        QTest::newRow("tabWidget_2") << "tabWidget_2" << "QTabWidget" << "color" << QRect(10, 0, 531, 591);
        QTest::newRow("statusBar") << "statusBar" << "QStatusBar" << "MainUI" << any;
    }

    void objects()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QVERIFY(w->parentWidget());
        // Pages of a tab widget sit in its internal stack: compare with the page's own name.
        QString parent = w->parentWidget()->objectName();
        if (parent == QLatin1String("qt_tabwidget_stackedwidget"))
            parent = w->parentWidget()->parentWidget()->objectName();
        QCOMPARE(parent, parentName);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
    }

    void window_()
    {
        QCOMPARE(window.objectName(), QStringLiteral("MainUI"));
        QCOMPARE(window.size(), QSize(620, 956));
        QCOMPARE(window.minimumSize(), QSize(620, 0));
        QCOMPARE(window.maximumSize(), QSize(1138, 970));
        QCOMPARE(window.iconSize(), QSize(0, 0));
        QCOMPARE(window.sizePolicy().horizontalStretch(), 3);
        QCOMPARE(window.sizePolicy().verticalStretch(), 3);
        QCOMPARE(window.windowTitle(), QStringLiteral("Plexa-T"));
        QCOMPARE(window.statusBar(), ui.statusBar);
        QCOMPARE(ui.statusBar->font().pointSize(), 12);
        QCOMPARE(ui.tabWidget->maximumSize(), QSize(700, 870));
        QCOMPARE(ui.ConfiguratorTabs->minimumSize(), QSize(575, 745));
        QCOMPARE(ui.productLabel->maximumWidth(), 150);
        QCOMPARE(ui.productCombobox->minimumHeight(), 30);
        QCOMPARE(ui.productCombobox->count(), 0);
        QVERIFY(ui.productCombobox->toolTip().startsWith(QStringLiteral("Supported Velmo devices")));
        QCOMPARE(ui.functionLabel->text(), QStringLiteral("Select Function"));
    }

    void functionButtonIds_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("checked");
        QTest::newRow("discover") << "functionDiscoverButton" << -2 << "Discover and Configure IP" << true;
        QTest::newRow("manage") << "functionManageButton" << -3 << "Manage a Product" << false;
        QTest::newRow("edid") << "functionEDIDButton" << -4 << "EDID Editor" << false;
    }

    void functionButtonIds()
    {
        QFETCH(QString, button);
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(bool, checked);
        auto* b = window.findChild<QAbstractButton*>(button);
        QVERIFY(b);
        QCOMPARE(ui.functionButtonGroup->id(b), id);
        QCOMPARE(ui.functionButtonGroup->button(id), b);
        QCOMPARE(b->text(), text);
        QVERIFY(b->isCheckable());
        QCOMPARE(b->isChecked(), checked);
        QCOMPARE(ui.functionButtonGroup->parent(), &window);
        QVERIFY(ui.functionButtonGroup->exclusive());
    }

    void pages_data()
    {
        QTest::addColumn<QString>("tabs");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("current");
        QTest::newRow("tabWidget") << "tabWidget"
            << QStringList{"tab_5", "tab_8", "tab_7", "depUpdateTab", "updateTab"}
            << QStringList{"Discover", "Configure", "Manage EDID", "Update", "Update"} << 1;
        QTest::newRow("ConfiguratorTabs") << "ConfiguratorTabs"
            << QStringList{"boosterTab", "outputTab", "pictureTab", "adjustTab", "systemTab", "testPatternTab",
                           "timingTab", "firmwareTab", "firmwareTabSorvane", "firmwareTabROLVANE", "statusTab",
                           "edidConfigureTab", "updateConfigureTab", "lunmoraHdcpTab", "lunmoraSystem",
                           "lunmoraStatusTab", "scaler12controlsTab", "routeTab", "setupTab", "vgaTab",
                           "hdbtSystem", "updatetab2"}
            << QStringList{"Controls", "Output", "Picture", "Adjust", "System", "Test Patterns", "Timings",
                           "Firmware", "Firmware", "Firmware", "Status", "Manage EDID", "Update", "HDCP", "System",
                           "Status", "Controls", "Routing", "Setup", "VGA", "System", "Update"}
            << 18;
        QTest::newRow("managementTabs") << "managementTabs"
            << QStringList{"edidType", "general", "timings", "color", "audioFormat", "hdmi", "threeD", "HDR"}
            << QStringList{"EDID Type", "General", "Timings", "Color", "Audio", "HDMI", "3D", "HDR"} << 3;
        QTest::newRow("tabWidget_2") << "tabWidget_2" << QStringList{"tab", "tab_2"}
            << QStringList{" Color Options ", "Advanced Color Options"} << 1;
    }

    void pages()
    {
        QFETCH(QString, tabs);
        QFETCH(QStringList, names);
        QFETCH(QStringList, titles);
        QFETCH(int, current);
        auto* t = window.findChild<QTabWidget*>(tabs);
        QVERIFY(t);
        QCOMPARE(pageNames(t), names);
        QCOMPARE(TestFormFrame::titles(t), titles);
        QCOMPARE(t->currentIndex(), current);
    }

    void updatePageIsEmpty()
    {
        QVERIFY(ui.updateTab->children().isEmpty());
    }

    // Every object of the form carries its member name as object name; the uic build and the
    // loader Designer uses agree on the whole tree, so the committed file opens in Designer.
    void designerLoadsTheForm()
    {
        QFile file(QStringLiteral(PLEXA_SOURCE_DIR "/forms/mainui.ui"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        FormLoader loader;
        QScopedPointer<QWidget> loaded(loader.load(&file));
        QVERIFY2(loaded, qPrintable(loader.errorString()));
        auto names = [](QObject* root) {
            QStringList list;
            const auto all = root->findChildren<QObject*>();
            for (QObject* o : all) {
                if (!o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_")))
                    list << o->objectName() + QLatin1Char(':') + QLatin1String(o->metaObject()->className());
            }
            list.sort();
            return list;
        };
        QCOMPARE(names(loaded.data()), names(&window));
    }
};

PLEXA_TEST_MAIN(TestFormFrame)
#include "tst_formframe.moc"
