#pragma once

#include <QString>

class QSettings;

// Base of the editor's own files (settings, room type names, icons, palette), relative to the
// working directory.
extern QString g_prefix;
// The editor's settings store, settings.ini under g_prefix.
extern QSettings* g_settings;
