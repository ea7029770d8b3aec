#pragma once

#include "EntityConfig.h"
#include "autosavefolders.h"
#include "clipboardactions.h"
#include "problemlist.h"
#include "roomwidget.h"
#include "undocommands.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class Autosaver;
class DB;
class FindDock;
class ProblemsDock;
class QAbstractItemModel;
class QAction;
class QCloseEvent;
class QModelIndex;
class QProcess;
class QSortFilterProxyModel;
class QUndoGroup;
class SettingsDialog;
class Stage;
class StageFileWatcher;
class StageListModel;

namespace Ui {
class MainWindow;
}

// The editor's window: stage and room lists, canvas, spawn inspector, property editors,
// entity strips and menus. It keeps the canvas, the inspector and the room list pointing at
// rooms that exist: whatever frees rooms or stages first moves them elsewhere. Every change
// to a stage is a step of that stage's undo history. Unsaved work is autosaved and offered back
// after a crash, and stage files changed by other programs are reloaded, or asked about when
// the editor has changes of its own.
class MainWindow : public QMainWindow,
                   public SpawnInspector,
                   public StepHost,
                   public RoomListEditor {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Stage* currentStage() override;
    int currentStageIndex();
    void updateRoomList();
    void load_entity_config();

    void setSelectedSpawn(Room::Spawn& spawn) override;
    void clearSelectedSpawn() override;
    Room::Spawn getSelectedSpawn() const override;

    StageHistory& history(Stage& stage) override;
    void releaseRooms(Stage& stage) override;
    void showRoom(Stage& stage, int row, bool reveal) override;
    int shownRoomRow(Stage& stage) override;
    void roomsReordered(Stage& stage) override;
    void selectRooms(Stage& stage, const QVector<int>& rows) override;

    QVector<int> selectedRoomRows() const override;
    void insertRoomsAfterCurrent(const QList<Room>& rooms, const QString& step) override;
    void removeRooms(const QVector<int>& rows, const QString& step) override;

public slots:
    void on_roomFilterLine_textChanged(const QString& text);
    void on_sizeCombo_currentIndexChanged(int index);
    void on_weightSpinBox_valueChanged(double value);
    void on_difficultyCombo_currentIndexChanged(int index);
    void on_nameLine_textChanged(const QString& text);
    void on_typeCombo_currentIndexChanged(int index);
    void on_variantSpinBox_valueChanged(int value);
    void on_removeEntriesButton_clicked();
    void on_addRoomButton_clicked();
    void on_deleteRoomButton_clicked();
    void on_duplicateRoomButton_clicked();
    void stageListView_rowChanged(const QModelIndex& current, const QModelIndex& previous);
    void roomListView_rowChanged(const QModelIndex& current, const QModelIndex& previous);
    void addEntity(const EntityConfig::Entity* entity, qreal weight);
    void on_actionSave_triggered();
    void on_actionQuit_triggered();
    void on_actionSettings_triggered();
    void on_actionVarurOzidari_triggered();
    void on_actionSort_triggered();
    void on_subtypeSpinBox_valueChanged(int value);
    void roomChanged();
    void stageChanged();
    void on_actionImport_from_XML_triggered();
    void on_actionExport_as_XML_2_triggered();
    void settingsAccepted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectWidgets();
    void createTabShortcuts();
    void createHistoryActions();
    void addHistoryAction(QAction* action, const char* name, QKeySequence::StandardKey keys,
                          bool undo);
    void createFindDock();
    // Shows a room that Find found, with the cells of its matching entries selected.
    void showFoundRoom(Stage* stage, int row, const QList<QPoint>& cells);
    void createReplaceEntityAction();
    void replaceEntity();

    void showCurrentStage();
    void attachStage(Stage& stage);
    // Shows the stage's room at that row after its rooms were replaced. The room shown before
    // keeps its cell selected, and is revealed when the filter hides it.
    void showReplacedRoom(Stage& stage, int row, bool sameRoom, QPoint cell);
    void setRoomListModel(QAbstractItemModel* model);
    void selectRoom(const QModelIndex& index);
    void showOnCanvas(Room* room);
    void showRoomProperties(const Room& room);
    // The editors of the room's properties, from the type to the weight.
    QList<QWidget*> propertyEditors() const;
    // Inserts the rooms after the current room, or at rowWithoutCurrent without one.
    void insertRooms(Stage& stage, const QList<Room>& rooms, int rowWithoutCurrent,
                     const QString& step);
    // The selected rooms' stage rows, or the current room's when none is selected.
    QVector<int> roomsToActOn() const;
    int rowShownAfterRemoving(const QVector<int>& rows) const;
    void recordRoomEdit(const QString& step, int mergeId = -1);
    void finishPendingEdits();
    void pushStep(Stage& stage, QUndoCommand* step);
    QList<Stage*> unsavedStages() const;
    bool saveStages();
    void detachRooms();
    // The canvas and the room list show nothing, while the filter stays on the stage's model.
    void letGoOfShownRooms();
    void refreshListColours();

    QString askStbFolder(const QString& title);
    bool confirm(const QString& title, const QString& text);
    bool saveBeforeReload();
    void startPreview(const QString& executable, const QString& workingDirectory, int stageId);

    // The stage files whose unsaved changes could not be kept.
    QStringList keepUnsavedStages();
    void reportKeptStages();

    void createProblemsDock();
    // Shows the stage and room of a problem, and selects its door or spawn.
    void showProblem(const ProblemListModel::Place& place);

    void startAutosave();
    void offerRecovery();
    // The number of stages that took their rooms from the copies.
    int recoverStages(const QList<AutosaveFolders::Copy>& copies);
    // The stage whose file has that name below the rooms folder, if any.
    Stage* stageOfFile(const QString& file) const;
    void watchStageFiles();
    void stageFileChanged(Stage* stage);
    void stageFileDeleted(Stage* stage);
    void askAboutChangedFile(Stage& stage);
    void reloadKeepingMine(Stage& stage);
    bool reloadStage(Stage& stage);

    Ui::MainWindow* ui;
    DB* db;
    StageListModel* stageListModel;
    QSortFilterProxyModel* roomFilterModel;
    SettingsDialog* settingsDialog;
    ClipboardActions* clipboardActions = nullptr;
    ProblemListModel* problems;
    ProblemsDock* problemsDock;
    FindDock* findDock = nullptr;
    QProcess* previewProcess = nullptr;
    // One undo history per stage; the current stage's is the active one.
    QUndoGroup* histories;
    RoomStepRecorder recorder{*this};
    // The room and cell shown before a step let go of them, to select the cell again.
    Room* releasedRoom = nullptr;
    QPoint releasedCell;
    // The autosave copies go before the lock on their folder.
    std::unique_ptr<AutosaveFolders> autosaveFolders;
    std::unique_ptr<Autosaver> autosaver;
    StageFileWatcher* fileWatcher;
    // Changed files wait while the user is asked about another.
    bool askingAboutFile = false;
    QList<QPointer<Stage>> filesToAskAbout;
};
