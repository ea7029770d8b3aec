#pragma once

#include <QMainWindow>

class DB;

namespace Ui {
class MainWindow;
}

// The editor's window: stage and room lists, canvas, spawn inspector, property editors,
// entity strips and menus.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

private:
    Ui::MainWindow* ui;
    DB* db;
};
