#include "mainwin.h"
#include "appfonts.h"
#include "dpiawareness.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char* argv[])
{
    Platform::setProcessDpiUnaware();
    QApplication app(argc, argv);
    qDebug() << QT_VERSION_STR;
    installApplicationFonts();

    MainWin window;
    window.show();
    return app.exec();
}
