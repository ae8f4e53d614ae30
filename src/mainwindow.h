#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class Ui_MainUI;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Ui_MainUI* form() const { return ui; }

protected:
    Ui_MainUI* ui = nullptr;
    int versionMajor = 2;
    int versionMinor = 8;
    int versionPatch = 7;
};

#endif // MAINWINDOW_H
