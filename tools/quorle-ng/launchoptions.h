#pragma once

#include "db.h"

#include <QString>
#include <QStringList>

// What the stand-in game was asked to do on its command line.
struct LaunchOptions {
    int stage = 1;
    int stageType = 0;
    QString roomFile;
    // Print the loaded room and exit instead of showing a window; for scripts and tests.
    bool quitAfterLoad = false;
};

// Reads "--set-stage-type=N", "--set-stage=N", "--load-room=FILE" and "--quit-after-load".
// Like the game, it ignores every other argument; a number that does not parse leaves the
// option at its default.
inline LaunchOptions parseLaunchOptions(const QStringList& arguments) {
    const QString stageTypeOption = QStringLiteral("--set-stage-type=");
    const QString stageOption = QStringLiteral("--set-stage=");
    const QString roomOption = QStringLiteral("--load-room=");
    const auto readNumber = [](const QString& text, int& number) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok)
            number = value;
    };

    LaunchOptions options;
    for (const QString& argument : arguments) {
        if (argument.startsWith(stageTypeOption))
            readNumber(argument.mid(stageTypeOption.size()), options.stageType);
        else if (argument.startsWith(stageOption))
            readNumber(argument.mid(stageOption.size()), options.stage);
        else if (argument.startsWith(roomOption))
            options.roomFile = argument.mid(roomOption.size());
        else if (argument == QLatin1String("--quit-after-load"))
            options.quitAfterLoad = true;
    }
    return options;
}

inline QString stageTitle(const LaunchOptions& options) {
    return QStringLiteral("Quorle - stage %1, type %2").arg(options.stage).arg(options.stageType);
}

// One line naming the room and counting what it holds.
inline QString roomSummary(const Room& room) {
    int entries = 0;
    for (const Room::Spawn& spawn : room.spawns)
        entries += spawn.entries.size();
    return QStringLiteral("room %1.%2.%3 \"%4\", shape %5, %6x%7, %8 doors, %9 spawns, %10 entries")
        .arg(room.type)
        .arg(room.variant)
        .arg(room.subtype)
        .arg(room.name)
        .arg(room.shape)
        .arg(room.width)
        .arg(room.height)
        .arg(room.doors.size())
        .arg(room.spawns.size())
        .arg(entries);
}
