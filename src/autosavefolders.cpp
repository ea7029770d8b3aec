#include "autosavefolders.h"

#include "main.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <algorithm>

QString recoveryFolder() {
    return g_prefix + QStringLiteral("recovery/");
}

QString makeDatedRecoveryFolder() {
    const QString dated = recoveryFolder() + QDateTime::currentDateTime().toString(
                                                 QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QDir().mkpath(recoveryFolder());
    // Creating a folder that exists fails, so two editors never share one.
    for (int number = 1; number < 1000; ++number) {
        const QString path = number == 1 ? dated : QStringLiteral("%1-%2").arg(dated).arg(number);
        if (QDir().mkdir(path))
            return QDir(path).absolutePath();
    }
    return QDir(dated).absolutePath();
}

namespace {

QString autosaveFolderName(int number) {
    return number == 1 ? QStringLiteral("autosave") : QStringLiteral("autosave-%1").arg(number);
}

// The highest number among the autosave folders and locks in the recovery folder.
int highestAutosaveNumber() {
    static const QRegularExpression name(QStringLiteral("^autosave(?:-(\\d+))?(?:\\.lock)?$"));
    int highest = 0;
    const QStringList entries = QDir(recoveryFolder()).entryList(QDir::AllEntries | QDir::Hidden);
    for (const QString& entry : entries) {
        const QRegularExpressionMatch match = name.match(entry);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).isEmpty() ? 1 : match.captured(1).toInt());
    }
    return highest;
}

QStringList filesBelow(const QString& folder) {
    QStringList files;
    QDirIterator file(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (file.hasNext())
        files << file.next();
    return files;
}

// Removes the empty folders below folder, deepest first.
void removeEmptySubfolders(const QString& folder) {
    QStringList subfolders;
    QDirIterator subfolder(folder, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
    while (subfolder.hasNext())
        subfolders << subfolder.next();
    std::sort(subfolders.begin(), subfolders.end(), std::greater<QString>());
    for (const QString& path : qAsConst(subfolders))
        QDir().rmdir(path);
}

} // namespace

AutosaveFolders::AutosaveFolders() {
    if (!QDir().mkpath(recoveryFolder()))
        return;
    const int highest = highestAutosaveNumber();
    for (int number = 1; number <= highest || ownPath.isEmpty(); ++number) {
        const QString path = QDir(recoveryFolder() + autosaveFolderName(number)).absolutePath();
        auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
        // A running editor's lock is never stale, however old it is.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError)
                continue;
            break;
        }
        const bool holdsCopies = !filesBelow(path).isEmpty();
        if (ownPath.isEmpty()) {
            ownLock = std::move(lock);
            ownPath = path;
            QDir().mkpath(path);
            if (holdsCopies)
                orphaned.push_back({path, nullptr});
        } else if (holdsCopies) {
            orphaned.push_back({path, std::move(lock)});
        } else {
            removeEmptySubfolders(path);
            QDir().rmdir(path);
        }
    }
}

// A folder other than the first goes with its editor, once it holds nothing.
AutosaveFolders::~AutosaveFolders() {
    if (ownPath.isEmpty() || QFileInfo(ownPath).fileName() == autosaveFolderName(1))
        return;
    removeEmptySubfolders(ownPath);
    QDir().rmdir(ownPath);
}

QString AutosaveFolders::path() const {
    return ownPath;
}

QList<AutosaveFolders::Copy> AutosaveFolders::orphanedCopies() const {
    QList<Copy> copies;
    for (const Folder& folder : orphaned) {
        const QStringList files = filesBelow(folder.path);
        for (const QString& file : files) {
            copies.append(
                {file, QDir(folder.path).relativeFilePath(file), QFileInfo(file).lastModified()});
        }
    }
    std::stable_sort(copies.begin(), copies.end(),
                     [](const Copy& a, const Copy& b) { return a.written > b.written; });
    return copies;
}

// Copies of one stage from two folders both keep their place: the second goes into a
// sub-folder named for its autosave folder.
QString AutosaveFolders::moveOrphanedCopies() {
    if (orphaned.empty())
        return QString();
    const QString target = makeDatedRecoveryFolder();
    if (!QFileInfo(target).isDir())
        return QString();
    for (Folder& folder : orphaned) {
        const QStringList files = filesBelow(folder.path);
        for (const QString& file : files) {
            const QString relative = QDir(folder.path).relativeFilePath(file);
            QString moved = target + QLatin1Char('/') + relative;
            if (QFileInfo::exists(moved)) {
                moved = target + QLatin1Char('/') + QFileInfo(folder.path).fileName() +
                        QLatin1Char('/') + relative;
            }
            QDir().mkpath(QFileInfo(moved).absolutePath());
            QFile::rename(file, moved);
        }
        removeEmptySubfolders(folder.path);
        if (folder.lock)
            QDir().rmdir(folder.path);
    }
    orphaned.clear();
    return target;
}
