#include "formtestutil.h"

#include <QAbstractButton>

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QLayout>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

QString parentName(const QWidget* w)
{
    const QWidget* p = w->parentWidget();
    if (p && p->objectName() == QLatin1String("qt_tabwidget_stackedwidget"))
        p = p->parentWidget();
    return p ? p->objectName() : QString();
}

void bringToFront(QWidget* page)
{
    for (QWidget* w = page; w && w->parentWidget(); w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
        else
            stack->setCurrentWidget(w);
    }
}

void settleLayouts(QWidget* w)
{
    for (QLayout* l : w->findChildren<QLayout*>())
        l->activate();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

RenderExceptions mainFormRenderExceptions()
{
    RenderExceptions ex;
    ex.overlaps = {
        // the interface choices of "EDID Type" sit on the upper edge of the box each one opens
        {"digitalRadio", "digitalFrame"},
        {"analogRadio", "analogFrame"},
        // the 3D switch reaches one pixel into the frame it opens, and lies over it
        {"threeDPresent", "threeDFrame"},
        // a section caption of the EDID editor covers the top border of its box
        {"edidSizeLabel", "edidSizeBox"},
        {"edidSizeLabel_2", "edidSizeBox_2"},
        {"filterLabel", "filterTimingBox"},
        {"selectTimingLabel", "selectTimingBox"},
        {"hdmiColorLabel", "hdmiColorBox"},
        {"chromaticityLabel", "chromaticityBox"},
        {"colorimetryLabel", "chromaticityBox_2"},
        {"speakerAllocLabel", "speakerAllocBox"},
        {"selectAudioLabel", "selectAudioBox"},
        // "Select Function" stands above the line under it; only its empty lower margin reaches it
        {"functionLabel", "line_15"},
    };
    // the pictures behind the update progress bars, the panel behind Open, Save and Edit
    ex.backdrops << "barImage" << "barImage_2" << "topMenuFrame";
    // One pixel column wider than the Configure page, which cuts off their right border. The
    // window frame's geometry is pinned by tst_formframe, outside these form tests.
    ex.outside << "selectProductFrame" << "ConfiguratorTabs";
    return ex;
}

QAbstractButton* buttonWithText(QWidget* frame, const QString& text)
{
    for (QAbstractButton* b : frame->findChildren<QAbstractButton*>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

bool saveScreenshot(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("PLEXA_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return true;
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path))
        return false;
    qInfo("screenshot: %s", qPrintable(path));
    return true;
}
