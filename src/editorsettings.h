#pragma once

#include <QString>

// The keys of the editor's settings store.
namespace SettingsKey {
// The game's resources folder: stages.xml, entities2.xml and the rooms/ folder.
inline const QString ResourcesPath = QStringLiteral("resources/path");
// The game's program that the preview starts, and the folder it starts in.
inline const QString GameExecutable = QStringLiteral("varurOzidari/executable");
inline const QString GamePath = QStringLiteral("varurOzidari/path");
// Seconds from an edit to its autosave copy; 0 turns autosave off.
inline const QString AutosaveSeconds = QStringLiteral("autosave/seconds");
} // namespace SettingsKey

// The autosave interval in seconds: the setting, 30 when it is unset or not a number.
int autosaveSeconds();

// A setting as text; empty when it is unset or there is no settings store.
QString editorSetting(const QString& key);

// Where the game's resources are read from: the resources setting or, when that is empty, the
// editor's working folder g_prefix.
struct ResourcesFolder {
    QString path;
    bool isWorkingFolder = false;
};
ResourcesFolder resourcesFolder();
