#include "editorsettings.h"

#include "main.h"

#include <QSettings>

QString editorSetting(const QString& key) {
    return g_settings ? g_settings->value(key).toString() : QString();
}

ResourcesFolder resourcesFolder() {
    const QString resources = editorSetting(SettingsKey::ResourcesPath);
    if (resources.isEmpty())
        return {g_prefix, true};
    return {resources, false};
}

int autosaveSeconds() {
    bool isNumber = false;
    const int seconds = editorSetting(SettingsKey::AutosaveSeconds).toInt(&isNumber);
    return isNumber ? qMax(0, seconds) : 30;
}
