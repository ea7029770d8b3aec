#pragma once

#include <QDialog>

namespace Ui {
class SettingsDialog;
}

// Edits the resources folder and the game's executable and working directory.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);
    ~SettingsDialog() override;

private:
    Ui::SettingsDialog* ui;
};
