#include "main.h"
#include "editorsettings.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_settings = new QSettings(g_prefix + QStringLiteral("settings.ini"), QSettings::IniFormat);
    if (g_settings->value(SettingsKey::ResourcesPath).isNull())
        g_settings->setValue(SettingsKey::ResourcesPath,
                             QDir(QStringLiteral("../..")).absolutePath());

    auto* window = new MainWindow;
    window->show();
    const int result = app.exec();

    delete g_settings;
    g_settings = nullptr;
    delete window;
    return result;
}
