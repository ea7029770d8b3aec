#include "autosaver.h"

#include "db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

// A copy of the rooms that shares no text or entry list with them, so that the autosave thread
// reads memory that the main thread neither writes nor frees while the stage goes on changing.
std::shared_ptr<const StableList<Room>> unsharedCopy(const StableList<Room>& rooms) {
    auto copy = std::make_shared<StableList<Room>>(rooms);
    for (Room& room : *copy) {
        room.name = QString(room.name.constData(), room.name.size());
        for (Room::Spawn& spawn : room.spawns)
            spawn.entries = QList<Room::Entry>(spawn.entries.cbegin(), spawn.entries.cend());
    }
    return copy;
}

} // namespace

Autosaver::Autosaver(const QString& folder, QObject* parent)
    : QObject(parent)
    , folder(folder) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &Autosaver::writeChangedStages);
}

Autosaver::~Autosaver() {
    writer.waitForDone();
}

void Autosaver::setInterval(int seconds) {
    intervalMs = qMax(0, seconds) * 1000 / 2;
    timer.stop();
    if (intervalMs > 0 && !changedStages.isEmpty())
        timer.start(intervalMs);
}

// A stage whose path leads outside the rooms folder has no place in the autosave folder either.
QString Autosaver::copyPath(const Stage& stage) const {
    if (folder.isEmpty() || !DB::stagePathInsideFolder(stage.path))
        return QString();
    return DB::stageCopyPath(folder, stage);
}

void Autosaver::stageChanged(Stage& stage) {
    const QString copy = copyPath(stage);
    if (copy.isEmpty())
        return;
    if (!stage.hasUnsavedChanges()) {
        changedStages.removeAll(&stage);
        if (copies.contains(copy))
            removeCopy(copy);
        return;
    }
    if (!changedStages.contains(&stage))
        changedStages.append(&stage);
    if (intervalMs > 0 && !timer.isActive())
        timer.start(intervalMs);
}

void Autosaver::writeChangedStages() {
    timer.stop();
    for (const QPointer<Stage>& stage : qAsConst(changedStages)) {
        if (!stage || !stage->hasUnsavedChanges())
            continue;
        const QString copy = copyPath(*stage);
        copies.insert(copy);
        // The file is built from the copy on the writer.
        const auto rooms = unsharedCopy(stage->rooms);
        writer.run([this, rooms, copy] {
            if (!DB::writeStageFile(*rooms, copy)) {
                QMetaObject::invokeMethod(
                    this, [this, copy] { emit copyFailed(copy); }, Qt::QueuedConnection);
            }
        });
    }
    changedStages.clear();
}

void Autosaver::removeCopy(const QString& file) {
    copies.remove(file);
    const QString top = QDir(folder).absolutePath();
    writer.run([file, top] {
        QFile::remove(file);
        // The sub-folders a stage path named go with the last copy in them.
        QString parent = QFileInfo(file).absolutePath();
        while (parent != top && QDir().rmdir(parent))
            parent = QFileInfo(parent).absolutePath();
    });
}

void Autosaver::removeCopies(const QStringList& kept) {
    timer.stop();
    changedStages.clear();
    const QSet<QString> made = copies;
    for (const QString& copy : made) {
        if (!kept.contains(QDir(folder).relativeFilePath(copy)))
            removeCopy(copy);
    }
    writer.waitForDone();
}
