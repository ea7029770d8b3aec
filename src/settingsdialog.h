#pragma once

#include <QDialog>

class QLineEdit;

namespace Ui {
class SettingsDialog;
}

// Edits the resources folder, the game's executable and working directory, and the autosave
// interval; the fields are read from the settings once, and stored back only by updateConfig.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);
    ~SettingsDialog() override;

    void updateConfig();

    // The resources folder was changed with its Browse button since the fields were stored.
    bool resourcesChanged = false;

public slots:
    void on_browseExecutableButton_clicked();
    void on_browsePathButton_clicked();
    void on_browseResourcesButton_clicked();

private:
    // Asks for a folder starting at the field's text; empty when the user cancelled.
    QString chooseFolder(const QString& caption, const QLineEdit* field);

    Ui::SettingsDialog* ui;
};
