#include "mainwin.h"
#include "appfonts.h"
#include "dpiawareness.h"
#include "firstpaintprobe.h"
#include "resources.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char* argv[])
{
    Platform::setProcessDpiUnaware();
    QApplication app(argc, argv);
    qDebug() << qVersion();
    initPlexaResources();
    installApplicationFonts();

    MainWin window;
    installFirstPaintProbe(&window);
    window.show();
    QObject::connect(&app, SIGNAL(aboutToQuit()), &window, SLOT(cleanUp()));
    return app.exec();
}
