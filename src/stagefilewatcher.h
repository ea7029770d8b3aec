#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

class Stage;

// Watches the stage files and the stage catalogue for changes made by other programs. A file
// counts as changed when the hash of its content differs from the one its stage keeps, of what
// the editor last read or wrote: touching a file, rewriting the same bytes and the editor's own
// saves change nothing. A file replaced by renaming another over it, as many programs save,
// counts like one written in place. Each change is reported once, a moment after the file was
// last written to, so that a file is never read half written.
class StageFileWatcher : public QObject {
    Q_OBJECT
public:
    explicit StageFileWatcher(QObject* parent = nullptr);

    // Watches the files of these stages, and the catalogue, instead of those watched before.
    void watch(const QList<Stage*>& stages, const QString& cataloguePath);
    // Whether the stage's file was changed in a way not reported yet; from now on that change
    // counts as reported. A save asks just before it writes the file.
    bool takeUnreportedChange(Stage& stage);

signals:
    void stageFileChanged(Stage* stage);
    void stageFileDeleted(Stage* stage);
    void catalogueChanged(const QString& path);

private:
    enum class Change { None, Changed, Deleted };

    // The stage files and the catalogue.
    QStringList watchedFiles() const;
    void fileTouched(const QString& path);
    void folderTouched(const QString& folder);
    void checkTouchedFiles();
    Change takeChange(Stage& stage, const QString& file);
    void checkCatalogue();

    QFileSystemWatcher watcher;
    QTimer settleTimer;
    QSet<QString> touchedFiles;
    QHash<QString, QPointer<Stage>> stagesByFile;
    // The content of each stage's file as last reported: its hash, empty once it was deleted.
    QHash<const Stage*, QByteArray> reported;
    QString catalogue;
    QByteArray catalogueHash;
};
