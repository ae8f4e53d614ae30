#ifndef MAINWIN_H
#define MAINWIN_H

#include "mainwindow.h"

// The main window with the platform-bound controllers added: the serial firmware page and the
// EDID viewer with its monitor EDIDs.
class MainWin : public MainWindow
{
public:
    explicit MainWin(ControllerFactory* factory = nullptr);
    ~MainWin() override;
};

#endif // MAINWIN_H
