#include "main.h"

#include <QSettings>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;
