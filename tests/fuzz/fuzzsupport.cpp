#include "fuzzsupport.h"

#include "main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

QString fuzzWorkspace() {
    static QTemporaryDir dir;
    static const bool ready = [] {
        // The readers log every file and room they visit: at thousands of inputs a second that
        // is only noise, and slow.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        QDir::setCurrent(dir.path());
        g_settings = new QSettings(g_prefix + QStringLiteral("settings.ini"), QSettings::IniFormat);
        g_settings->setValue(QStringLiteral("resources/path"),
                             dir.filePath(QStringLiteral("resources")));
        return QDir().mkpath(dir.filePath(QStringLiteral("resources/rooms")));
    }();
    require(ready, "the workspace could be made");
    return dir.path();
}

QString writeOneStage(const QByteArray& contents) {
    const QString resources = fuzzWorkspace() + QStringLiteral("/resources");
    writeFile(resources + QStringLiteral("/stages.xml"),
              "<stages><stage id='1' name='Stage' path='Stage.xml'/></stages>");
    writeFile(resources + QStringLiteral("/rooms/stage.xml"), contents);
    return resources + QStringLiteral("/rooms/stage.xml");
}

QByteArray fuzzInput(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size(),
            "the input file could be written");
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void require(bool holds, const char* property) {
    if (holds)
        return;
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

void requireStableRoundTrip(const std::function<QByteArray()>& writeAndReadBack) {
    const QByteArray written = writeAndReadBack();
    require(writeAndReadBack() == written, "what was read back writes the same bytes again");
}
