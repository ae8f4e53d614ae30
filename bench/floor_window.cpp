// The floor of the start-up benchmark: the least a Qt program does to show a main window of the
// program's size.
#include "firstpaintprobe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(620, 956);
    installFirstPaintProbe(&window);
    window.show();
    return app.exec();
}
