#include "main.h"
#include "editorsettings.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;

int main(int argc, char** argv) {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 always follows the screen's scale; Qt 5 does so only when asked.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
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
