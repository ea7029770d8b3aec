#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QLockFile;

// The editor's recovery folder below its working folder: quit-time copies, autosave copies,
// and the copies moved out of the way when they were recovered or replaced.
QString recoveryFolder();
// Creates a new folder below the recovery folder named for the date and time, numbered when
// another one took that name in the same second, and returns its absolute path. The folder
// exists unless it could not be created, and then writing into it fails.
QString makeDatedRecoveryFolder();

// The folder where one editor keeps the autosave copies of its unsaved stages, locked for as
// long as the editor runs. The first editor on a working folder takes recovery/autosave, each
// further one recovery/autosave-2 and so on, so that no two write the same copies. A lock left
// by an editor that is no longer running is taken over, and the copies in its folder are the
// editor's orphans: the unsaved work of a crash, offered for recovery.
class AutosaveFolders {
public:
    struct Copy {
        // The copy's absolute path.
        QString file;
        // The stage file it is a copy of, as a stage's path in lower case.
        QString stagePath;
        QDateTime written;
    };

    AutosaveFolders();
    ~AutosaveFolders();
    AutosaveFolders(const AutosaveFolders&) = delete;
    AutosaveFolders& operator=(const AutosaveFolders&) = delete;

    // This editor's folder; empty when none could be locked, and then nothing is autosaved.
    QString path() const;
    // The copies that editors no longer running left behind, newest first.
    QList<Copy> orphanedCopies() const;
    // Moves every file of the orphaned folders into a new dated recovery folder, keeping their
    // sub-folders, and returns that folder; empty when there was nothing to move or it could
    // not be created.
    QString moveOrphanedCopies();

private:
    struct Folder {
        QString path;
        // Held until its copies are moved; null for this editor's own folder.
        std::unique_ptr<QLockFile> lock;
    };

    std::unique_ptr<QLockFile> ownLock;
    QString ownPath;
    std::vector<Folder> orphaned;
};
