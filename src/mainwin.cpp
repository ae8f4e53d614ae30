#include "mainwin.h"

MainWin::MainWin()
    : MainWindow(nullptr)
{
}

MainWin::~MainWin() = default;
