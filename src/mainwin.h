#ifndef MAINWIN_H
#define MAINWIN_H

#include "mainwindow.h"

// The main window with the platform-bound controllers added.
class MainWin : public MainWindow
{
public:
    MainWin();
    ~MainWin() override;
};

#endif // MAINWIN_H
