#pragma once

#include "serialworker.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class Stage;

// Keeps a copy of every stage with unsaved changes in an autosave folder, laid out as the
// stage files are, and removes the copy of a stage that has none left. A change is copied
// within half the interval, so that what a crash loses is never newer than one interval, even
// while a copy is being written. The main thread only copies the stage's rooms; the files are
// written one after the other on a thread of their own, in the order they were asked for.
class Autosaver : public QObject {
    Q_OBJECT
public:
    explicit Autosaver(const QString& folder, QObject* parent = nullptr);
    ~Autosaver() override;

    // Seconds from a change to its copy; 0 turns autosave off.
    void setInterval(int seconds);
    // The stage changed, was saved, or went back to its saved state: a stage without unsaved
    // changes loses its copy at once, any other gets one when the interval is up.
    void stageChanged(Stage& stage);
    // Copies every changed stage now, as the timer does.
    void writeChangedStages();
    // Waits for the copies under way, then removes every copy but those of the stage files
    // named in kept: their work is kept elsewhere, or nothing is left unsaved.
    void removeCopies(const QStringList& kept = {});

signals:
    // A copy could not be written; the file is the copy's path.
    void copyFailed(const QString& file);

private:
    QString copyPath(const Stage& stage) const;
    void removeCopy(const QString& file);

    QString folder;
    int intervalMs = 0;
    QTimer timer;
    // One thread, so that the writes and removals of one copy happen in the order asked for.
    SerialWorker writer;
    QList<QPointer<Stage>> changedStages;
    // The copies this editor made and has not removed.
    QSet<QString> copies;
};
