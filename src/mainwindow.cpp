#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "db.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    db = new DB;
}

MainWindow::~MainWindow()
{
    delete ui;
    delete db;
}
