#include "settingsdialog.h"
#include "ui_settingsdialog.h"

#include "editorsettings.h"
#include "main.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

SettingsDialog::SettingsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog) {
    ui->setupUi(this);
    ui->executableLineEdit->setText(editorSetting(SettingsKey::GameExecutable));
    ui->pathLineEdit->setText(editorSetting(SettingsKey::GamePath));
    ui->resourcesLineEdit->setText(editorSetting(SettingsKey::ResourcesPath));
    ui->autosaveSpinBox->setValue(autosaveSeconds());
}

SettingsDialog::~SettingsDialog() {
    delete ui;
}

void SettingsDialog::updateConfig() {
    g_settings->setValue(SettingsKey::GameExecutable, ui->executableLineEdit->text());
    g_settings->setValue(SettingsKey::GamePath, ui->pathLineEdit->text());
    g_settings->setValue(SettingsKey::ResourcesPath, ui->resourcesLineEdit->text());
    g_settings->setValue(SettingsKey::AutosaveSeconds, ui->autosaveSpinBox->value());
    // Written at once: the editor only writes its settings on a clean exit otherwise.
    g_settings->sync();
    resourcesChanged = false;
}

// On every Browse button a cancelled file dialog leaves the fields as they were: storing its
// empty answer would throw away the user's paths.
void SettingsDialog::on_browseExecutableButton_clicked() {
    const QString executable = QFileDialog::getOpenFileName(
        this, QStringLiteral("Velmire executable (quorle-ng.exe)"), ui->executableLineEdit->text(),
        QStringLiteral("EXE files (*.exe);;All Files (*)"));
    if (executable.isEmpty())
        return;
    ui->executableLineEdit->setText(executable);
    ui->pathLineEdit->setText(QFileInfo(executable).absolutePath());
}

void SettingsDialog::on_browsePathButton_clicked() {
    const QString folder = chooseFolder(QStringLiteral("Working directory"), ui->pathLineEdit);
    if (!folder.isEmpty())
        ui->pathLineEdit->setText(folder);
}

void SettingsDialog::on_browseResourcesButton_clicked() {
    const QString folder =
        chooseFolder(QStringLiteral("Velmire resources folder"), ui->resourcesLineEdit);
    if (folder.isEmpty() || folder == ui->resourcesLineEdit->text())
        return;
    ui->resourcesLineEdit->setText(folder);
    resourcesChanged = true;
}

QString SettingsDialog::chooseFolder(const QString& caption, const QLineEdit* field) {
    return QFileDialog::getExistingDirectory(this, caption, field->text(),
                                             QFileDialog::ShowDirsOnly);
}
