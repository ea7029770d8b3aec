#include "launchoptions.h"

#include "EntityConfig.h"
#include "db.h"
#include "main.h"
#include "roomwidget.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTextStream>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;

namespace {

// Appends the working directory and the arguments to quorle-ng.log there, so that what the
// editor started can be checked afterwards.
void logLaunch(const QStringList& arguments) {
    QFile log(QStringLiteral("quorle-ng.log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&log);
    out << QDateTime::currentDateTime().toString(Qt::ISODate) << " in " << QDir::currentPath()
        << ':';
    for (const QString& argument : arguments)
        out << ' ' << argument;
    out << '\n';
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    logLaunch(arguments);
    const LaunchOptions options = parseLaunchOptions(arguments);

    Room room;
    QString missing;
    QString reason;
    if (options.roomFile.isEmpty())
        missing = QStringLiteral("No room to show: no --load-room option");
    else if (!DB::readRoomFile(options.roomFile, room, &reason))
        missing = QStringLiteral("No room to show: %1 (%2)").arg(options.roomFile, reason);
    const bool loaded = missing.isEmpty();

    if (options.quitAfterLoad) {
        QTextStream(stdout) << stageTitle(options) << ": " << (loaded ? roomSummary(room) : missing)
                            << '\n';
        return loaded ? 0 : 1;
    }

    // Pictures come from an icons folder beside the room file, when the game folder has one;
    // the game has no use for the editor's entity lists.
    g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                        QStringLiteral("entities_custom.txt"));

    QMainWindow window;
    window.setWindowTitle(stageTitle(options));
    if (loaded) {
        auto* canvas = new RoomWidget;
        canvas->setRoom(&room);
        // The game only shows the room; clicks must not edit it.
        canvas->setAttribute(Qt::WA_TransparentForMouseEvents);
        window.setCentralWidget(canvas);
    } else {
        auto* label = new QLabel(missing);
        label->setAlignment(Qt::AlignCenter);
        window.setCentralWidget(label);
        window.resize(480, 160);
    }
    window.show();
    return app.exec();
}
