#include "mainwindow.h"
#include "ui_mainui.h"

#include <QScrollArea>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui_MainUI())
{
    ui->setupUi(this);

    // The form is laid out by fixed geometry; a scroll area keeps it usable on short screens.
    auto* scrollArea = new QScrollArea();
    scrollArea->setWidget(ui->centralFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QWidget* formCentral = ui->centralWidget;
    setCentralWidget(scrollArea); // disposes of the form's own central widget
    ui->centralWidget = nullptr;
    Q_UNUSED(formCentral)
    setContentsMargins(10, 15, 0, 0);

    setWindowTitle(QStringLiteral("Velmo Plexa-T v%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionPatch));
}

MainWindow::~MainWindow()
{
    delete ui;
}
