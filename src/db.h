#pragma once

#include "stablelist.h"

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <pugixml.hpp>

#include <functional>

class QFile;
class RoomListModel;

// Room record

// Shape of a room: decides its grid size, which cells are floor or wall, and its door slots.
enum eRoomShape : quint8 {
    RoomShapeNone = 0,
    RoomShape1x1 = 1,
    RoomShape1x1H = 2,
    RoomShape1x1V = 3,
    RoomShape1x2 = 4,
    RoomShape1x2V = 5,
    RoomShape2x1 = 6,
    RoomShape2x1H = 7,
    RoomShape2x2 = 8,
    RoomShapeLTL = 9,
    RoomShapeLTR = 10,
    RoomShapeLBL = 11,
    RoomShapeLBR = 12,
};

// Classification of a grid cell of a room.
enum CellType { CellOutside = 0, CellWall = 1, CellFloor = 2 };

// One room of a stage: identity, properties, door slots and weighted spawns on a cell grid.
// Its doors and spawns are stable lists, so a Spawn or Door keeps its address while others are
// added or removed; the canvas and the spawn inspector rely on it.
struct Room {
    struct Entry {
        quint16 type = 0;
        quint16 variant = 0;
        quint16 subtype = 0;
        float weight = 1.0f;
    };

    struct Door {
        Door() = default;
        Door(int x, int y, bool exists);

        qint16 x = 0;
        qint16 y = 0;
        bool exists = false;
    };

    struct Spawn {
        qint16 x = 0;
        qint16 y = 0;
        QList<Entry> entries;
    };

    Room() = default;

    void setChanged(bool changed);
    bool hasUnsavedChanges() const;

    // The spawn at (x, y); an empty one is appended when the cell has none.
    Spawn& getSpawn(int x, int y);
    // Replaces the entries of the spawn at (x, y) with those of s, or appends a copy of s there.
    void setSpawn(int x, int y, const Spawn& s);
    // Stores the new size and rebuilds the door slots for the current shape.
    void resize(int width, int height);

    bool operator<(const Room& other) const;

    quint8 shape = RoomShapeNone;
    quint8 width = 0;
    quint8 height = 0;
    quint32 type = 0;
    quint32 variant = 0;
    quint32 subtype = 0;
    quint8 difficulty = 1;
    QString name = QStringLiteral("(null)");
    float weight = 1.0f;
    StableList<Door> doors;
    StableList<Spawn> spawns;
    bool changed = false;
};

Q_DECLARE_METATYPE(Room)
Q_DECLARE_METATYPE(Room::Spawn)
Q_DECLARE_METATYPE(Room::Entry)

// Registers Room, Room::Spawn and Room::Entry with Qt's meta-type system.
void registerRoomMetaTypes();

// Heaviest entry first.
bool SortRoomEntries(const Room::Entry& a, const Room::Entry& b);

// Hash of a cell position, for sets of cells.
uint qHash(const QPoint& point);

// A room's type and variant as one key; no two rooms of a stage keep the same one for long.
quint64 roomKey(const Room& room);
// The spawns of a room by cell; where a file holds two spawns on one cell, the first is the one
// the canvas edits.
QHash<QPoint, const Room::Spawn*> spawnsByCell(const Room& room);

// Shapes and grid

// Grid size (width x height) of a shape; an invalid size for shape 0 and values above 12.
QSize roomShapeGridSize(int shape);
// Cell type of (x, y) for a room of the given shape and size.
int roomCellType(int shape, int width, int height, int x, int y);
// The door slots of a room of the given shape and size, one per wall section, in a fixed order.
QList<QPoint> roomDoorSlots(int shape, int width, int height);

// Stage

// A room of a stage file that repeated the type and variant of an earlier room of the file, and
// the free variant a load moved it to.
struct Renumbering {
    quint32 type;
    quint32 oldVariant;
    quint32 newVariant;
    QString name;
};

// One stage of the game: a named list of rooms stored in one XML file, with its list model.
class Stage : public QObject {
    Q_OBJECT
public:
    explicit Stage(QObject* parent = nullptr);
    ~Stage() override;

    RoomListModel* getModel();
    void setChanged(bool changed);
    bool hasUnsavedChanges() const;
    void clearChanged();
    int nextRoomVariant(int type, int start);
    // The hash of the stage file's bytes as the editor last read or wrote them; empty when it
    // read none (the file was missing or unreadable). A file whose hash differs was changed by
    // another program.
    const QByteArray& fileHash() const;
    // Why the stage's file could not be read at the last load; empty once the stage's rooms came
    // from its file, an import or a save.
    const QString& fileFailure() const;
    // The rooms that the last load or reload of the file moved to another variant. The file gives
    // them the type and variant of an earlier room until the stage is saved.
    const std::vector<Renumbering>& fileRenumberings() const;

    qint32 id = 0;
    QString name;
    QString path;
    // Rooms keep their addresses while others come and go: the canvas shows one by address.
    StableList<Room> rooms;
    bool changed = false;
    RoomListModel* model;

signals:
    // The file's failure or renumberings changed.
    void fileStateChanged();

private:
    friend class DB;
    void setFileState(const QString& failure, const std::vector<Renumbering>& renumberings);

    // When the stage's XML file could not be read at the last load, its empty room list says
    // nothing about the stage: exporting it as it is would wipe the game's copy.
    QString failure;
    std::vector<Renumbering> renumberings;
    QByteArray lastFileHash;
};

// Database

// What a batch operation over stage files could not do: the files that failed, each with the
// reason when there is one, under the heading of the warning that lists them. A failure of the
// batch as a whole (the stage catalogue could not be read) comes ahead of that list.
struct BatchReport {
    struct Failure {
        QString file;
        QString reason;
    };

    bool isEmpty() const;
    bool failed(const QString& file) const;
    // The warning shown to the user: empty when every file went well.
    QString text() const;

    QString overall;
    QString heading;
    QList<Failure> failures;
};

// The stages of a resources folder with their files: catalogue, stage XML, STB import and
// export. Batch operations collect failures and hand them in one warning to the warning
// reporter at the end; the *Report variants return them instead.
class DB {
public:
    // Shows a warning to the user: the editor's window in a message box, the command-line tool
    // on standard error.
    using WarningReporter = std::function<void(const QString& title, const QString& text)>;

    DB();
    ~DB();
    DB(const DB&) = delete;
    DB& operator=(const DB&) = delete;

    QList<Stage*> stages;
    static QStringList roomTypeStrings;

    // Where every DB hands its warnings from now on; with none (the default, or an empty
    // function) they go to standard error.
    static void setWarningReporter(WarningReporter reporter);

    static void load_room_type_strings();
    // Replaces the stages by those of the catalogue; the parse result says whether it could be
    // read.
    pugi::xml_parse_result load_stages();
    void load();
    // True when every stage with unsaved changes was written.
    bool save();
    BatchReport loadReport();
    BatchReport saveReport();
    // Writes every stage with unsaved changes into folder (created when missing) under its
    // usual file name, leaving the change flags alone; reports the stages it could not write.
    BatchReport saveUnsavedStagesTo(const QString& folder);

    // Reads the stage's file again in place of its rooms, as the load reads it; the stage then
    // holds what the file holds and has no unsaved changes. False with the reason when the file
    // cannot be read, leaving the stage as it was.
    bool reloadStage(Stage& stage, QString* reason = nullptr);
    // Reads the rooms of a stage file as the load does; false with the parser's reason.
    static bool readStageFile(const QString& path, StableList<Room>& rooms,
                              QString* reason = nullptr);
    // Replaces every room of the stage through its room list model, so that the views and the
    // stage's history hear of it.
    static void replaceRooms(Stage& stage, StableList<Room>& rooms);
    // Where the stage's file is read from and written to.
    static QString stageFilePath(const Stage& stage);
    // Where a copy of the stage's file goes below folder (recovery and autosave copies): its
    // path in lower case, so that a stage in a sub-folder of the rooms folder keeps it.
    static QString stageCopyPath(const QString& folder, const Stage& stage);
    // Writes the rooms as a stage file at path, creating its folder; false when it could not be
    // written.
    static bool writeStageFile(const StableList<Room>& rooms, const QString& path);
    // The hash that Stage::fileHash keeps, of a file's content: empty when the file is missing
    // or cannot be read.
    static QByteArray fileContentHash(const QString& path);

    static void append_xml_room(pugi::xml_node parent, const Room& room);
    // A spawn element with the spawn's entries, as a stage file holds it (an empty spawn too).
    static void append_xml_spawn(pugi::xml_node parent, const Room::Spawn& spawn);
    // Appends the spawn of a spawn element to the room's spawns.
    static void read_xml_spawn(pugi::xml_node node, Room& room);
    // A document as the editor writes its files: UTF-8, indented by tabs.
    static QByteArray documentBytes(const pugi::xml_document& doc);
    // Fills every field of the room from a room element of a stage file parsed by loadXmlFile.
    static void read_xml_room(pugi::xml_node node, Room& room);
    // Whether the XML writer keeps a spawn at that cell: it lies in the room's grid, walls
    // included.
    static bool spawnInWritableArea(const Room& room, const Room::Spawn& spawn);
    static void saveRoom(const Room& room, const QString& path);
    // Writes a document to path through a temporary file; false when it could not be written.
    static bool saveDocument(const pugi::xml_document& doc, const QString& path);
    // The stage's file as a save writes it.
    static QByteArray stageFileBytes(const Stage& stage);
    static QByteArray stageFileBytes(const StableList<Room>& rooms);
    // Parses an XML file with the default options; a folder is reported as unreadable.
    static pugi::xml_parse_result loadXmlFile(pugi::xml_document& doc, const QString& path);

    static void fix_room(Room& room);
    // The positions in the door list of the open doors that a spawn next to them may block with
    // something solid; fix_room closes them.
    static QList<int> blockedOpenDoors(const Room& room);
    // The copy of a room that the binary export writes: repaired, without the spawns it leaves
    // out.
    static Room stbCopy(const Room& room);
    // Why such a copy does not fit an STB record (the export refuses its stage), or an empty
    // text when it does.
    static QString stbLimitViolation(const Room& copy);
    // The name as it comes back from an STB file written by the export.
    static QString stbNameAfterRoundTrip(const QString& name);
    static void filter_spawns(Room& room);
    static void write_room(Room& room, QFile& file);
    static void read_room(Room& room, QFile& file);

    QStringList listImportBinary(const QString& folder);
    QStringList listExportBinaryOverwrites(const QString& folder);
    void importBinary(const QString& folder);
    void exportBinary(const QString& folder);
    BatchReport importBinaryReport(const QString& folder);
    BatchReport exportBinaryReport(const QString& folder);

    // The folder the stage files are read from and written to.
    static QString roomsFolder();
    // The stage catalogue of the resources folder.
    static QString cataloguePath();
    // Appends the stages listed in the catalogue at path, in order, less later duplicates of a
    // path; the parse result says whether the file could be read.
    static pugi::xml_parse_result read_stage_catalogue(const QString& path, QList<Stage*>& stages);
    // Whether a stage path appended to a folder names a place inside it: a relative path that no
    // ".." segment leads out of. Catalogues are shared, and a stage whose path fails this is
    // never read or written anywhere.
    static bool stagePathInsideFolder(const QString& path);
    // Why such a stage is left out, as the load, save and binary reports give it.
    static constexpr char stagePathOutsideReason[] = "its path leads outside the rooms folder";
    // The STB file name of a stage: its lower-case path with ".xml" replaced by ".stb".
    static QString stbFileNameFor(const Stage& stage);
    // Reads a single-room file as written by saveRoom; false with the reason when the file does
    // not parse or holds no room element.
    static bool readRoomFile(const QString& path, Room& room, QString* reason = nullptr);

private:
    // The absolute paths of every stage file of the catalogue, links resolved: the export must
    // not write over any of them.
    QSet<QString> stageFileIdentities() const;
    // The STB file names of the stages whose STB file exists in folder, in stage order, less the
    // stages whose path leads outside its folder and the files in keptOut (paths as
    // stageFileIdentities gives them).
    QStringList existingStbFiles(const QString& folder, const QSet<QString>& keptOut) const;
    // Why the STB file of a stage is not written to path, or an empty text when it is.
    static QString exportRefusal(const Stage& stage, const QString& path,
                                 const QSet<QString>& stageFiles);
    // Hands a batch warning to the warning reporter, unless it is empty.
    static void showWarning(const BatchReport& report);
};

// Item models

// Lists the database's stages, changed ones on a light red ground.
class StageListModel : public QAbstractListModel {
    Q_OBJECT
public:
    StageListModel(QList<Stage*>& stages, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Views forget every row before the stage list is replaced and re-read it afterwards.
    void beginStageListReset();
    void endStageListReset();

private:
    QList<Stage*>& stages;
};

// The data roles beyond Qt's own that the room list and the spawn table hand out.
enum RoomListRole {
    RoomCopyRole = Qt::UserRole,        // the room as a Room value
    RoomAddressRole = Qt::UserRole + 1, // the room's address in the stage, as void*
};
enum SpawnTableRole {
    EntryCopyRole = Qt::UserRole,     // the row's entry as a Room::Entry value
    SpawnCopyRole = Qt::UserRole + 1, // the whole spawn as a Room::Spawn value, any index
};

// Lists the rooms of one stage; also the channel for inserting and removing rooms and for
// handing out rooms by copy (RoomCopyRole) or by address (RoomAddressRole).
class RoomListModel : public QAbstractListModel {
    Q_OBJECT
public:
    RoomListModel(StableList<Room>& rooms, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool insertRoom(int row, const Room& room);
    // Inserts the rooms as consecutive rows from row on, in one change of the list.
    bool insertRooms(int row, const QList<Room>& newRooms);
    // Puts the room of row order[i] at row i by moving whole list elements, so that every room
    // keeps its address: the canvas and the spawn inspector may be pointing into one of them.
    void reorderRooms(const QVector<int>& order);
    // The row of the room at that address, or -1 when the list holds no such room.
    int rowOf(const Room* room) const;
    // Appends the rooms, moved out of newRooms, in one change of the list; their change flags
    // stay as they are.
    void appendRooms(StableList<Room>& newRooms);
    // Tells the views, and the filters that judge rooms by their text, that the room at row
    // changed.
    void roomChanged(int row);
    // Tells those who follow the rooms' content that the room at row changed where the user is
    // editing it: the views show it already, and the filter must not hide it while its name is
    // being typed.
    void roomEditedInPlace(int row);

    // The name shown for a room type: its entry in DB::roomTypeStrings, or its number.
    static QString roomTypeName(quint32 type);

signals:
    // A room's content changed, through roomChanged or roomEditedInPlace.
    void roomEdited(int row);

private:
    StableList<Room>& rooms;
};

// The entries of one spawn as a table of entity and weight; the spawn inspector's model.
class SpawnTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    SpawnTableModel(Room::Spawn& spawn, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Room::Spawn& spawn;
};

// Room commands

// A new room for the stage: "New Room" of type 1, shape 1x1 with its doors, and the first
// variant that no type-1 room of the stage uses.
Room makeNewRoom(Stage& stage);
// A copy of source for the same stage: the first free variant at or above the source's, and
// the name marked " (copy)" once.
Room makeRoomCopy(Stage& stage, const Room& source);
// The rows of the stage's rooms in Room::operator< order: element i is the row of the room that
// sorts into row i.
QVector<int> sortedRoomOrder(const Stage& stage);
// Puts the room of row order[i] at row i through the stage's room list model.
void reorderStageRooms(Stage& stage, const QVector<int>& order);
// The row of the stage's room at that address, or -1 when the stage holds no such room.
int stageRoomRow(const Stage& stage, const Room* room);

// Game preview

// The game's options that select the stage with this catalogue id: "--set-stage-type=T" and
// "--set-stage=S".
QStringList gameStageOptions(int stageId);
