#pragma once

#include "db.h"

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// A temporary folder that is the working directory (where g_prefix "./" points) with g_settings
// on its settings.ini while it exists.
class TestWorkspace {
public:
    TestWorkspace();
    ~TestWorkspace();

    QString path() const;
    QString filePath(const QString& relative) const;
    // Writes a file below the workspace, creating its folders.
    void write(const QString& relative, const QByteArray& contents) const;
    QByteArray read(const QString& relative) const;
    // Creates resources/ with stages.xml listing the stages and a rooms/ folder, and points
    // "resources/path" at it.
    struct StageEntry {
        int id;
        QString name;
        QString path;
    };
    QString makeResources(const QList<StageEntry>& stages);
    QString resourcesPath() const;

private:
    QTemporaryDir dir;
    QString previousDir;
    QSettings* previousSettings;
};

// Answers modal dialogs (message boxes, file dialogs) that open while a test drives the
// editor, so that no test can hang on one. Every dialog seen is recorded.
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    struct Seen {
        QString title;
        QString text;
    };
    // Decides how a dialog is closed; the default accepts message boxes with their default
    // button and closes anything else.
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswerer(Answer answer = Answer());

    QList<Seen> seen() const;
    QStringList texts() const;

    // The folder or file in a QFileDialog, then that button (or the default one) in every
    // message box.
    static Answer choosePath(const QString& path, int standardButton = 0);
    // The button with that text in every message box.
    static Answer pressing(const QString& buttonText);

private:
    void poll();

    QTimer timer;
    Answer answer;
    QList<Seen> seenDialogs;
};

// Records the warnings that DB hands out while it exists, instead of printing them.
class WarningRecorder {
public:
    WarningRecorder();
    ~WarningRecorder();
    WarningRecorder(const WarningRecorder&) = delete;
    WarningRecorder& operator=(const WarningRecorder&) = delete;

    QStringList texts() const;

private:
    QStringList recorded;
};

// Collects Qt log messages while it exists.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList messages() const;
    int count(const QString& containing) const;

private:
    QtMessageHandler previous;
};

// A room's doors, as a test table's column.
using Doors = StableList<Room::Door>;
Q_DECLARE_METATYPE(Doors)

// A room as the stage files of the tests hold it: a full grid for its shape, doors included.
Room testRoom(quint32 type, quint32 variant, const QString& name, int difficulty = 1,
              quint8 shape = RoomShape1x1, float weight = 1.0f, quint32 subtype = 0);

// A stage file holding the rooms, as the editor writes it.
QByteArray stageXml(const StableList<Room>& rooms);

// The entries of each non-empty cell as "x,y: type.variant*weight ...", sorted, whatever the order
// of the room's spawn list.
QStringList spawnLayout(const Room& room);

// Compares every stored field of two rooms, doors and spawns included (not the change flag).
void compareRooms(const Room& actual, const Room& expected);
