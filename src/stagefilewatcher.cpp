#include "stagefilewatcher.h"

#include "db.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// How long a file must have been left alone before it is read.
constexpr int SettleMs = 200;

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

StageFileWatcher::StageFileWatcher(QObject* parent)
    : QObject(parent) {
    settleTimer.setSingleShot(true);
    settleTimer.setInterval(SettleMs);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, &StageFileWatcher::fileTouched);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this,
            &StageFileWatcher::folderTouched);
    connect(&settleTimer, &QTimer::timeout, this, &StageFileWatcher::checkTouchedFiles);
}

// The folders are watched too: a file deleted and then created anew is no longer watched
// itself, but its folder tells.
void StageFileWatcher::watch(const QList<Stage*>& stages, const QString& cataloguePath) {
    const QStringList watched = watcher.files() + watcher.directories();
    if (!watched.isEmpty())
        watcher.removePaths(watched);
    stagesByFile.clear();
    reported.clear();
    touchedFiles.clear();

    for (Stage* stage : stages) {
        if (DB::stagePathInsideFolder(stage->path))
            stagesByFile.insert(absolute(DB::stageFilePath(*stage)), stage);
    }
    catalogue = absolute(cataloguePath);
    catalogueHash = DB::fileContentHash(catalogue);
    const QStringList files = watchedFiles();
    QStringList paths = files;
    for (const QString& file : files)
        paths << QFileInfo(file).absolutePath();
    paths.removeDuplicates();
    paths.erase(std::remove_if(paths.begin(), paths.end(),
                               [](const QString& path) { return !QFileInfo::exists(path); }),
                paths.end());
    if (!paths.isEmpty())
        watcher.addPaths(paths);
}

void StageFileWatcher::fileTouched(const QString& path) {
    touchedFiles.insert(path);
    settleTimer.start();
}

QStringList StageFileWatcher::watchedFiles() const {
    return stagesByFile.keys() << catalogue;
}

void StageFileWatcher::folderTouched(const QString& folder) {
    const QStringList stillWatched = watcher.files();
    const QStringList files = watchedFiles();
    for (const QString& file : files) {
        if (QFileInfo(file).absolutePath() == folder && !stillWatched.contains(file))
            fileTouched(file);
    }
}

// A file replaced by another, through a rename or a delete, is no longer the one watched: its
// path is watched again. The files are checked in order, so that what the user is told does
// not depend on the order the changes came in.
void StageFileWatcher::checkTouchedFiles() {
    QStringList files = std::exchange(touchedFiles, {}).values();
    std::sort(files.begin(), files.end());
    for (const QString& file : qAsConst(files)) {
        if (QFileInfo::exists(file) && !watcher.files().contains(file))
            watcher.addPath(file);
        if (file == catalogue) {
            checkCatalogue();
            continue;
        }
        const QPointer<Stage> stage = stagesByFile.value(file);
        if (!stage)
            continue;
        switch (takeChange(*stage, file)) {
        case Change::Changed:
            emit stageFileChanged(stage);
            break;
        case Change::Deleted:
            emit stageFileDeleted(stage);
            break;
        case Change::None:
            break;
        }
    }
}

bool StageFileWatcher::takeUnreportedChange(Stage& stage) {
    return takeChange(stage, absolute(DB::stageFilePath(stage))) == Change::Changed;
}

// A file that exists but cannot be read tells nothing yet; it is judged once it can be read.
StageFileWatcher::Change StageFileWatcher::takeChange(Stage& stage, const QString& file) {
    const bool exists = QFileInfo::exists(file);
    const QByteArray hash = exists ? DB::fileContentHash(file) : QByteArray();
    if (exists && hash.isEmpty())
        return Change::None;
    if (hash == stage.fileHash()) {
        reported.remove(&stage);
        return Change::None;
    }
    const auto last = reported.constFind(&stage);
    if (last != reported.cend() && *last == hash)
        return Change::None;
    reported.insert(&stage, hash);
    return exists ? Change::Changed : Change::Deleted;
}

void StageFileWatcher::checkCatalogue() {
    const QByteArray hash = DB::fileContentHash(catalogue);
    if (hash == catalogueHash)
        return;
    catalogueHash = hash;
    emit catalogueChanged(catalogue);
}
