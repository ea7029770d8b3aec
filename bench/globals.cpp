// The editor's globals for the benchmarks; each benchmark points them where it needs them.
#include "main.h"

#include <QSettings>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;
