#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "autosaver.h"
#include "db.h"
#include "editorsettings.h"
#include "finddock.h"
#include "main.h"
#include "problemsdock.h"
#include "replaceentitydialog.h"
#include "settingsdialog.h"
#include "stagefilewatcher.h"
#include "wildcard.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QUndoGroup>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

const int Difficulties[] = {1, 5, 10};

// Consecutive steps of one of these editors on the same room merge into one.
enum MergedEdits { MergeVariant = 1, MergeSubtype, MergeName, MergeWeight };

// A plain modal message box: no parent, no title.
void showPlainMessage(const QString& text) {
    QMessageBox box;
    box.setText(text);
    box.exec();
}

// Tells the views that every row of the model may look different now.
void announceAllRowsChanged(QAbstractItemModel* model) {
    if (model && model->rowCount() > 0)
        emit model->dataChanged(model->index(0, 0), model->index(model->rowCount() - 1, 0));
}

// What a spin box shows for a value that may lie beyond its maximum.
int shownValue(quint32 value, const QSpinBox* box) {
    return int(qMin(value, quint32(box->maximum())));
}

// The room of a row of the room list, or none for no row.
Room* roomAt(const QModelIndex& index) {
    return static_cast<Room*>(index.data(RoomAddressRole).value<void*>());
}

QString recoveryMarkerPath() {
    return recoveryFolder() + QStringLiteral("last.txt");
}

// Where the stage's file lies below the rooms folder, as the user is told of it.
QString stageFileName(const Stage& stage) {
    return stage.path.toLower();
}

// The row of the room to show after a stage's rooms were replaced: the one shown before when it
// is still there, by its row or else by its type and variant; otherwise whatever is at its row.
int rowAfterReplacement(const Stage& stage, int row, quint32 type, quint32 variant) {
    const auto isShownRoom = [&](const Room& room) {
        return room.type == type && room.variant == variant;
    };
    if (row >= 0 && row < stage.rooms.size() && isShownRoom(stage.rooms.at(row)))
        return row;
    const auto same = std::find_if(stage.rooms.begin(), stage.rooms.end(), isShownRoom);
    if (same != stage.rooms.end())
        return int(std::distance(stage.rooms.begin(), same));
    return qMin(row, stage.rooms.size() - 1);
}

} // namespace

// Construction

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow) {
    ui->setupUi(this);
    // The icon folder is listed while the stages load; the catalogue load below takes the names.
    g_EntityConfig.listIconsAhead();
    DB::setWarningReporter([](const QString& title, const QString& text) {
        QMessageBox::warning(nullptr, title, text);
    });
    db = new DB;
    startAutosave();
    watchStageFiles();

    stageListModel = new StageListModel(db->stages, this);
    ui->stageListView->setModel(stageListModel);
    connect(ui->stageListView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::stageListView_rowChanged);

    roomFilterModel = new QSortFilterProxyModel;
    roomFilterModel->setFilterCaseSensitivity(Qt::CaseInsensitive);
    roomFilterModel->setFilterKeyColumn(0);

    settingsDialog = new SettingsDialog(this);
    histories = new QUndoGroup(this);
    connectWidgets();
    createTabShortcuts();
    createHistoryActions();
    clipboardActions =
        new ClipboardActions(this, ui->menuEdit, ui->roomWidget, ui->roomListView, *this);
    connect(clipboardActions, &ClipboardActions::showMessage, ui->statusBar,
            &QStatusBar::showMessage);
    createFindDock();
    createReplaceEntityAction();
    ui->roomWidget->setSpawnInspector(this);
    load_entity_config();
    createProblemsDock();
    for (int i = 1; i <= 10; ++i)
        ui->entityTabBar->addTab(QString::number(i % 10));
    reportKeptStages();
    offerRecovery();
}

MainWindow::~MainWindow() {
    // The inspector's model belongs to no one else.
    clearSelectedSpawn();
    // The stages' histories leave the group without telling the window, which is going.
    delete histories;
    delete previewProcess;
    delete roomFilterModel;
    delete ui;
    delete db;
    delete settingsDialog;
}

void MainWindow::connectWidgets() {
    connect(ui->entityWidget, &EntityWidget::showMessage, ui->statusBar, &QStatusBar::showMessage);
    connect(ui->entityWidget, &EntityWidget::addEntity, this, &MainWindow::addEntity);
    connect(ui->entityPaletteWidget, &EntityWidget::addEntity, this, &MainWindow::addEntity);
    connect(ui->entityPaletteWidget, &EntityWidget::showMessage, ui->statusBar,
            &QStatusBar::showMessage);
    connect(ui->entityTabBar, &QTabBar::currentChanged, ui->entityPaletteWidget,
            &EntityWidget::changeTab);
    connect(ui->roomWidget, &RoomWidget::showMessage, ui->statusBar, &QStatusBar::showMessage);
    connect(ui->roomWidget, &RoomWidget::changed, this, &MainWindow::roomChanged);
    connect(ui->roomWidget, &RoomWidget::edited, this,
            [this](const QString& step) { recordRoomEdit(step); });
    connect(settingsDialog, &QDialog::accepted, this, &MainWindow::settingsAccepted);
}

// The digit keys pick the palette tab with the same label: 1 to 9 the first nine, 0 the tenth.
void MainWindow::createTabShortcuts() {
    for (int tab = 0; tab < 10; ++tab) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::Key_0 + (tab + 1) % 10), this);
        connect(shortcut, &QShortcut::activated, ui->entityTabBar,
                [this, tab] { ui->entityTabBar->setCurrentIndex(tab); });
    }
}

void MainWindow::createHistoryActions() {
    addHistoryAction(histories->createUndoAction(this, QStringLiteral("Undo")), "actionUndo",
                     QKeySequence::Undo, true);
    addHistoryAction(histories->createRedoAction(this, QStringLiteral("Redo")), "actionRedo",
                     QKeySequence::Redo, false);
    connect(histories, &QUndoGroup::indexChanged, this, &MainWindow::refreshListColours);
    connect(histories, &QUndoGroup::cleanChanged, this, &MainWindow::refreshListColours);
}

// Undo and Redo first turn what is still being edited into a step of its own.
void MainWindow::addHistoryAction(QAction* action, const char* name, QKeySequence::StandardKey keys,
                                  bool undo) {
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    action->disconnect(histories);
    connect(action, &QAction::triggered, this, [this, undo] {
        finishPendingEdits();
        if (undo)
            histories->undo();
        else
            histories->redo();
    });
    ui->menuEdit->addAction(action);
}

// Find comes last in the Edit menu. Its results follow every step, undo and redo.
void MainWindow::createFindDock() {
    findDock = new FindDock(db->stages, this);
    addDockWidget(Qt::RightDockWidgetArea, findDock);
    findDock->hide();
    ui->menuEdit->addSeparator();
    QAction* find = ui->menuEdit->addAction(QStringLiteral("Find..."));
    find->setObjectName(QStringLiteral("actionFind"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, findDock, &FindDock::showQuery);
    connect(findDock, &FindDock::roomActivated, this, &MainWindow::showFoundRoom);
    connect(histories, &QUndoGroup::indexChanged, findDock, &FindDock::refresh);
}

// Replace Entity goes after Find.
void MainWindow::createReplaceEntityAction() {
    QAction* action = ui->menuEdit->addAction(QStringLiteral("Replace Entity..."));
    action->setObjectName(QStringLiteral("actionReplaceEntity"));
    connect(action, &QAction::triggered, this, &MainWindow::replaceEntity);
}

// One step per stage changed, each on its own stage's history.
void MainWindow::replaceEntity() {
    Stage* stage = currentStage();
    const int row = stage ? shownRoomRow(*stage) : -1;
    ReplaceEntityDialog dialog(stage != nullptr, row >= 0, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    finishPendingEdits();
    const EntityReplacement replacement =
        planEntityReplacement(dialog.request(), db->stages, stage, row);
    for (const EntityReplacement::StageChanges& changes : replacement.stages) {
        pushStep(*changes.stage, new SpawnEntriesCommand(history(*changes.stage), changes.rooms,
                                                         QStringLiteral("Replace Entity")));
    }
    ui->statusBar->showMessage(replacement.summary());
}

void MainWindow::load_entity_config() {
    const QString warnings = loadEditorEntityFiles(g_EntityConfig);
    // The strips still point into the old catalogue; they must be refreshed before the warning
    // box lets them paint again.
    ui->entityWidget->catalogueReloaded();
    ui->entityPaletteWidget->catalogueReloaded();
    ui->entityPaletteWidget->setPaletteMode(true);
    ui->entityPaletteWidget->loadPalette(g_prefix + QStringLiteral("palette.ini"));
    if (!warnings.isEmpty())
        showPlainMessage(warnings);

    {
        const QSignalBlocker blocker(ui->typeCombo);
        ui->typeCombo->clear();
        ui->typeCombo->addItems(DB::roomTypeStrings);
    }
    setWindowTitle(
        QStringLiteral("Quorle Room Editor - %1").arg(editorSetting(SettingsKey::ResourcesPath)));
}

// Problems

void MainWindow::createProblemsDock() {
    problems = new ProblemListModel(this);
    problems->checkStages(db->stages, &g_EntityConfig);
    problemsDock = new ProblemsDock(problems, this);
    addDockWidget(Qt::BottomDockWidgetArea, problemsDock);
    // A few rows, so that the canvas keeps its room.
    resizeDocks({problemsDock}, {problemsDock->heightForRows(5)}, Qt::Vertical);
    // The View menu lists the docks, Problems first.
    ui->menuView->addAction(problemsDock->toggleViewAction());
    ui->menuView->addAction(findDock->toggleViewAction());
    ui->statusBar->addPermanentWidget(problemsDock->countLabel());
    connect(problemsDock, &ProblemsDock::placeActivated, this, &MainWindow::showProblem);
}

void MainWindow::showProblem(const ProblemListModel::Place& place) {
    if (!place.stage)
        return;
    const int row = place.room ? stageRoomRow(*place.stage, place.room) : -1;
    if (row < 0) {
        ui->stageListView->setCurrentIndex(stageListModel->index(db->stages.indexOf(place.stage)));
        return;
    }
    showRoom(*place.stage, row, true);
    if (place.cell)
        ui->roomWidget->selectCell(*place.cell);
}

// Navigation

Stage* MainWindow::currentStage() {
    const int row = currentStageIndex();
    return row >= 0 && row < db->stages.size() ? db->stages.at(row) : nullptr;
}

int MainWindow::currentStageIndex() {
    return ui->stageListView->currentIndex().row();
}

void MainWindow::stageListView_rowChanged(const QModelIndex&, const QModelIndex&) {
    showCurrentStage();
}

void MainWindow::showCurrentStage() {
    if (Stage* stage = currentStage()) {
        attachStage(*stage);
        selectRoom(roomFilterModel->index(0, 0));
    }
}

// The room list and the undo actions follow the stage.
void MainWindow::attachStage(Stage& stage) {
    roomFilterModel->setSourceModel(stage.getModel());
    setRoomListModel(roomFilterModel);
    histories->setActiveStack(&history(stage));
}

// Shown as after a step: showRoom selects the cell again in the room released for it.
void MainWindow::showReplacedRoom(Stage& stage, int row, bool sameRoom, QPoint cell) {
    releasedRoom = sameRoom ? &stage.rooms[row] : nullptr;
    releasedCell = cell;
    ui->roomWidget->setUpdatesEnabled(false);
    attachStage(stage);
    showRoom(stage, row, sameRoom);
}

void MainWindow::setRoomListModel(QAbstractItemModel* model) {
    if (ui->roomListView->model() == model)
        return;
    // The view makes a new selection model for every model and leaves the old one to us.
    QItemSelectionModel* previous = ui->roomListView->selectionModel();
    ui->roomListView->setModel(model);
    delete previous;
    if (model) {
        connect(ui->roomListView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                &MainWindow::roomListView_rowChanged);
        connect(ui->roomListView->selectionModel(), &QItemSelectionModel::selectionChanged,
                clipboardActions, &ClipboardActions::refresh);
    }
}

// Makes the row current; the canvas follows through roomListView_rowChanged, and shows nothing
// when no row is current (the view reports no change when it had none before either).
void MainWindow::selectRoom(const QModelIndex& index) {
    ui->roomListView->setCurrentIndex(index);
    if (!ui->roomListView->currentIndex().isValid())
        showOnCanvas(nullptr);
}

// A stroke on the previous room becomes a step before the canvas leaves it. Without a room the
// property editors have nothing to show, and are cleared and disabled.
void MainWindow::showOnCanvas(Room* room) {
    ui->roomWidget->finishStroke();
    recorder.watch(currentStage(), room);
    ui->roomWidget->setRoom(room);
    for (QWidget* editor : propertyEditors())
        editor->setEnabled(room);
    if (!room) {
        const QSignalBlocker blocker(ui->nameLine);
        ui->nameLine->clear();
    }
    if (clipboardActions)
        clipboardActions->refresh();
}

QList<QWidget*> MainWindow::propertyEditors() const {
    return {ui->typeCombo, ui->variantSpinBox, ui->subtypeSpinBox, ui->difficultyCombo,
            ui->sizeCombo, ui->nameLine,       ui->weightSpinBox};
}

void MainWindow::roomListView_rowChanged(const QModelIndex& current, const QModelIndex&) {
    if (current.row() < 0 || currentStageIndex() < 0) {
        showOnCanvas(nullptr);
        return;
    }
    Room* room = roomAt(current);
    showOnCanvas(room);
    showRoomProperties(*room);
}

// Showing a room never changes it: a value that an editor cannot hold is shown clamped or
// rounded, and reaches the room only when the user edits that field.
void MainWindow::showRoomProperties(const Room& room) {
    std::vector<QSignalBlocker> blockers;
    for (QWidget* editor : propertyEditors())
        blockers.emplace_back(editor);

    ui->typeCombo->setCurrentIndex(int(room.type));
    ui->variantSpinBox->setValue(shownValue(room.variant, ui->variantSpinBox));
    ui->subtypeSpinBox->setValue(shownValue(room.subtype, ui->subtypeSpinBox));
    const int* difficulty =
        std::find(std::begin(Difficulties), std::end(Difficulties), int(room.difficulty));
    if (difficulty != std::end(Difficulties))
        ui->difficultyCombo->setCurrentIndex(int(difficulty - std::begin(Difficulties)));
    ui->sizeCombo->setCurrentIndex(room.shape - 1);
    ui->nameLine->setText(room.name);
    ui->weightSpinBox->setValue(room.weight);
}

void MainWindow::updateRoomList() {
    const QModelIndex current = ui->roomListView->currentIndex();
    if (current.isValid())
        emit roomFilterModel->dataChanged(current, current);
}

void MainWindow::roomChanged() {
    updateRoomList();
    stageChanged();
}

void MainWindow::stageChanged() {
    Stage* stage = currentStage();
    if (!stage)
        return;
    stage->setChanged(true);
    const QModelIndex row = stageListModel->index(currentStageIndex());
    emit stageListModel->dataChanged(row, row);
}

void MainWindow::on_roomFilterLine_textChanged(const QString& text) {
    roomFilterModel->setFilterRegularExpression(wildcardExpression(text));
}

// Room commands

void MainWindow::on_addRoomButton_clicked() {
    if (Stage* stage = currentStage())
        insertRooms(*stage, {makeNewRoom(*stage)}, 0, QStringLiteral("New Room"));
}

// Each copy takes the first variant at or above its room's that neither the stage nor an
// earlier copy has.
void MainWindow::on_duplicateRoomButton_clicked() {
    Stage* stage = currentStage();
    if (!stage)
        return;
    QList<Room> copies;
    for (int row : roomsToActOn())
        copies.append(makeRoomCopy(*stage, stage->rooms.at(row)));
    takeFreeVariants(*stage, copies);
    insertRooms(*stage, copies, stage->rooms.size(), QStringLiteral("Duplicate Room"));
}

void MainWindow::insertRoomsAfterCurrent(const QList<Room>& rooms, const QString& step) {
    if (Stage* stage = currentStage())
        insertRooms(*stage, rooms, stage->rooms.size(), step);
}

void MainWindow::insertRooms(Stage& stage, const QList<Room>& rooms, int rowWithoutCurrent,
                             const QString& step) {
    if (rooms.isEmpty())
        return;
    const QModelIndex current = roomFilterModel->mapToSource(ui->roomListView->currentIndex());
    const int first = current.isValid() ? current.row() + 1 : rowWithoutCurrent;
    QVector<int> rows;
    QList<Room> inserted = rooms;
    for (Room& room : inserted) {
        room.setChanged(true);
        rows.append(first + rows.size());
    }
    pushStep(stage, new RoomListCommand(history(stage), RoomListCommand::Insert, rows, inserted,
                                        current.isValid() ? current.row() : -1, step));
}

void MainWindow::on_deleteRoomButton_clicked() {
    removeRooms(roomsToActOn(), QStringLiteral("Delete Room"));
    ui->roomWidget->update();
    stageChanged();
}

void MainWindow::removeRooms(const QVector<int>& rows, const QString& step) {
    Stage* stage = currentStage();
    if (!stage || rows.isEmpty())
        return;
    QList<Room> rooms;
    for (int row : rows)
        rooms.append(stage->rooms.at(row));
    pushStep(*stage, new RoomListCommand(history(*stage), RoomListCommand::Remove, rows, rooms,
                                         rowShownAfterRemoving(rows), step));
}

QVector<int> MainWindow::selectedRoomRows() const {
    QVector<int> rows;
    const QItemSelectionModel* selection = ui->roomListView->selectionModel();
    if (!selection || !roomFilterModel->sourceModel())
        return rows;
    const QModelIndexList selected = selection->selectedRows();
    for (const QModelIndex& index : selected)
        rows.append(roomFilterModel->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QVector<int> MainWindow::roomsToActOn() const {
    const QVector<int> selected = selectedRoomRows();
    const QModelIndex current = roomFilterModel->mapToSource(ui->roomListView->currentIndex());
    if (selected.isEmpty() && current.isValid())
        return {current.row()};
    return selected;
}

// The stage row, once the rooms at rows are gone, of the room that becomes current: the
// nearest room above the current one in the list that stays, else the nearest below it; -1 for
// none.
int MainWindow::rowShownAfterRemoving(const QVector<int>& rows) const {
    const auto stageRow = [this](int listRow) {
        return roomFilterModel->mapToSource(roomFilterModel->index(listRow, 0)).row();
    };
    const auto stays = [&](int listRow) {
        return !std::binary_search(rows.begin(), rows.end(), stageRow(listRow));
    };
    const int current = qMax(0, ui->roomListView->currentIndex().row());
    int neighbour = current;
    while (neighbour >= 0 && !stays(neighbour))
        --neighbour;
    if (neighbour < 0) {
        neighbour = current;
        while (neighbour < roomFilterModel->rowCount() && !stays(neighbour))
            ++neighbour;
        if (neighbour == roomFilterModel->rowCount())
            return -1;
    }
    const int row = stageRow(neighbour);
    return row - int(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
}

// Sorting a sorted stage changes nothing and makes no step.
void MainWindow::on_actionSort_triggered() {
    Stage* stage = currentStage();
    if (!stage)
        return;
    const QVector<int> order = sortedRoomOrder(*stage);
    for (int row = 0; row < order.size(); ++row) {
        if (order.at(row) != row) {
            pushStep(*stage, new SortRoomsCommand(history(*stage), order));
            return;
        }
    }
}

// Property editors

void MainWindow::on_typeCombo_currentIndexChanged(int index) {
    ui->roomWidget->setRoomType(index);
    recordRoomEdit(QStringLiteral("Change Type"));
}

void MainWindow::on_variantSpinBox_valueChanged(int value) {
    ui->roomWidget->setRoomVariant(value);
    recordRoomEdit(QStringLiteral("Change Variant"), MergeVariant);
}

void MainWindow::on_subtypeSpinBox_valueChanged(int value) {
    ui->roomWidget->setRoomSubtype(value);
    recordRoomEdit(QStringLiteral("Change Subtype"), MergeSubtype);
}

void MainWindow::on_difficultyCombo_currentIndexChanged(int index) {
    const bool known = index >= 0 && index < int(std::size(Difficulties));
    ui->roomWidget->setRoomDifficulty(known ? Difficulties[index] : 1);
    recordRoomEdit(QStringLiteral("Change Difficulty"));
}

void MainWindow::on_sizeCombo_currentIndexChanged(int index) {
    ui->roomWidget->changeRoomShape(eRoomShape(index + 1));
    recordRoomEdit(QStringLiteral("Change Size"));
}

void MainWindow::on_nameLine_textChanged(const QString& text) {
    ui->roomWidget->setRoomName(text);
    recordRoomEdit(QStringLiteral("Rename Room"), MergeName);
}

void MainWindow::on_weightSpinBox_valueChanged(double value) {
    ui->roomWidget->setRoomWeight(value);
    recordRoomEdit(QStringLiteral("Change Weight"), MergeWeight);
}

// Each edit becomes a step; the room's row shows its new text and colour.
void MainWindow::recordRoomEdit(const QString& step, int mergeId) {
    recorder.record(step, mergeId);
    updateRoomList();
}

// Spawn inspector

void MainWindow::setSelectedSpawn(Room::Spawn& spawn) {
    auto* model = new SpawnTableModel(spawn);
    connect(model, &QAbstractItemModel::rowsInserted, ui->roomWidget, &RoomWidget::roomChanged);
    connect(model, &QAbstractItemModel::rowsMoved, ui->roomWidget, &RoomWidget::roomChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, ui->roomWidget, &RoomWidget::roomChanged);
    connect(model, &QAbstractItemModel::dataChanged, ui->roomWidget, &RoomWidget::roomChanged);
    // Outside "Add Entity", a change of the data is a weight typed into the table.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this] { recorder.record(QStringLiteral("Edit Entry Weight")); });
    QAbstractItemModel* previous = ui->tableView->model();
    ui->tableView->setModel(model);
    ui->tableView->resizeColumnsToContents();
    delete previous;
}

void MainWindow::clearSelectedSpawn() {
    QAbstractItemModel* previous = ui->tableView->model();
    ui->tableView->setModel(nullptr);
    delete previous;
}

Room::Spawn MainWindow::getSelectedSpawn() const {
    const QAbstractItemModel* model = ui->tableView->model();
    if (!model)
        return Room::Spawn();
    return model->data(ui->tableView->currentIndex(), SpawnCopyRole).value<Room::Spawn>();
}

// An entity already in the spawn gets heavier instead of appearing twice.
void MainWindow::addEntity(const EntityConfig::Entity* entity, qreal weight) {
    QAbstractItemModel* model = ui->tableView->model();
    if (!entity || !model || !ui->roomWidget->hasSelection())
        return;
    Room::Entry entry;
    entry.type = quint16(entity->type);
    entry.variant = quint16(entity->variant);
    entry.subtype = quint16(entity->subtype);
    entry.weight = float(weight);
    const RoomStepRecorder::Batch step(recorder, QStringLiteral("Add Entity"));

    int row = 0;
    for (; row < model->rowCount(); ++row) {
        const auto existing = model->index(row, 0).data(EntryCopyRole).value<Room::Entry>();
        if (existing.type == entry.type && existing.variant == entry.variant &&
            existing.subtype == entry.subtype) {
            entry.weight += existing.weight;
            break;
        }
    }
    if (row == model->rowCount())
        model->insertRows(row, 1);
    model->setData(model->index(row, 0), QVariant::fromValue(entry));
    emit model->dataChanged(model->index(row, 0), model->index(row, 1));

    ui->tableView->setCurrentIndex(model->index(row, 0));
    ui->tableView->resizeColumnsToContents();
    ui->roomWidget->update();
}

// Rows are removed from the highest down, so the lower row numbers stay valid.
void MainWindow::on_removeEntriesButton_clicked() {
    QAbstractItemModel* model = ui->tableView->model();
    if (!model)
        return;
    const RoomStepRecorder::Batch step(recorder, QStringLiteral("Remove Entries"));
    QList<int> rows;
    const QModelIndexList selected = ui->tableView->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto row = rows.crbegin(); row != rows.crend(); ++row)
        model->removeRows(*row, 1);
    ui->roomWidget->update();
}

// Files

// What the save told while it asked about files changed on disk stays in the status bar.
void MainWindow::on_actionSave_triggered() {
    const QString before = ui->statusBar->currentMessage();
    saveStages();
    const QString told = ui->statusBar->currentMessage();
    const QString palette = g_prefix + QStringLiteral("palette.ini");
    const bool paletteSaved = ui->entityPaletteWidget->savePalette(palette);
    refreshListColours();
    QString message =
        paletteSaved ? QStringLiteral("Saved!")
                     : QStringLiteral("Could not save the palette to %1.")
                           .arg(QDir::toNativeSeparators(QFileInfo(palette).absoluteFilePath()));
    if (told != before)
        message += QLatin1Char(' ') + told;
    ui->statusBar->showMessage(message);
}

void MainWindow::refreshListColours() {
    announceAllRowsChanged(stageListModel);
    announceAllRowsChanged(ui->roomListView->model());
}

void MainWindow::on_actionImport_from_XML_triggered() {
    const QString folder =
        askStbFolder(QStringLiteral("Select directory for importing Binary (.stb)"));
    if (folder.isEmpty())
        return;
    const QString question =
        QStringLiteral("Are you sure you want to import room data from Binary files in \"%1\"?\n")
            .arg(folder) +
        db->listImportBinary(folder).join(QStringLiteral(", "));
    if (!confirm(QStringLiteral("Really import Binary?"), question))
        return;
    // Only a current stage whose rooms the import replaces loses the room shown and the cell
    // selected: the room list and the canvas let go of it just before its first room goes. The
    // filter stays on the stage's model, which is in the middle of a change then: taken off it,
    // the filter would never hear that the rows went, and would stop judging them anew.
    Stage* stage = currentStage();
    bool replaced = false;
    const auto letGo = [this, &replaced] {
        if (!replaced)
            letGoOfShownRooms();
        replaced = true;
    };
    QList<QMetaObject::Connection> watches;
    if (stage) {
        watches << connect(stage->getModel(), &QAbstractItemModel::rowsAboutToBeRemoved, letGo)
                << connect(stage->getModel(), &QAbstractItemModel::rowsAboutToBeInserted, letGo);
    }
    // An edit not yet recorded must not become a step after the history it belongs to is gone.
    finishPendingEdits();
    db->importBinary(folder);
    for (const QMetaObject::Connection& watch : qAsConst(watches))
        disconnect(watch);
    for (Stage* imported : qAsConst(db->stages))
        autosaver->stageChanged(*imported);
    if (replaced)
        showCurrentStage();
    refreshListColours();
    // An import replaces rooms outside the histories, whose steps Find follows.
    findDock->refresh();
}

void MainWindow::on_actionExport_as_XML_2_triggered() {
    const QString folder =
        askStbFolder(QStringLiteral("Select directory for exporting Binary (.stb)"));
    if (folder.isEmpty())
        return;
    const QString question =
        QStringLiteral("The following files in \"%1\" will be overwritten:\n").arg(folder) +
        db->listExportBinaryOverwrites(folder).join(QStringLiteral(", "));
    if (!confirm(QStringLiteral("Really export Binary?"), question))
        return;
    db->exportBinary(folder);
    refreshListColours();
}

QString MainWindow::askStbFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(this, title, DB::roomsFolder(),
                                             QFileDialog::ShowDirsOnly);
}

bool MainWindow::confirm(const QString& title, const QString& text) {
    return QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

// Before rooms or stages are freed, nothing may still show them: the canvas (and with it the
// inspector) shows no room, and the room list and its filter let go of the stage's model.
void MainWindow::detachRooms() {
    letGoOfShownRooms();
    roomFilterModel->setSourceModel(nullptr);
}

void MainWindow::letGoOfShownRooms() {
    showOnCanvas(nullptr);
    histories->setActiveStack(nullptr);
    setRoomListModel(nullptr);
}

// Undo history

StageHistory& MainWindow::history(Stage& stage) {
    auto* history = stage.findChild<StageHistory*>();
    if (!history) {
        history = new StageHistory(stage, *this);
        histories->addStack(history);
        const auto autosave = [this, history] { autosaver->stageChanged(history->stage); };
        connect(history, &QUndoStack::indexChanged, history, autosave);
        connect(history, &QUndoStack::cleanChanged, history, autosave);
    }
    return *history;
}

// A stroke still under way, or an edit not yet recorded, becomes a step before the next one.
void MainWindow::finishPendingEdits() {
    ui->roomWidget->finishStroke();
    recorder.record(QStringLiteral("Edit Room"));
}

void MainWindow::pushStep(Stage& stage, QUndoCommand* step) {
    finishPendingEdits();
    history(stage).push(step);
}

void MainWindow::releaseRooms(Stage&) {
    recorder.stop();
    releasedRoom = ui->roomWidget->getRoom();
    releasedCell = ui->roomWidget->getSelectedCell();
    // The canvas paints once, when the step's room is shown.
    ui->roomWidget->setUpdatesEnabled(false);
    ui->roomWidget->setRoom(nullptr);
}

// A room shown again after a step keeps its selected cell, so the brush stays what it was.
void MainWindow::showRoom(Stage& stage, int row, bool reveal) {
    if (&stage != currentStage())
        ui->stageListView->setCurrentIndex(stageListModel->index(db->stages.indexOf(&stage)));
    const auto listIndex = [&] {
        return row < 0 ? QModelIndex()
                       : roomFilterModel->mapFromSource(stage.getModel()->index(row));
    };
    if (reveal && row >= 0 && !listIndex().isValid())
        ui->roomFilterLine->clear();
    selectRoom(listIndex());
    // The list does not report a row that was current already.
    const QModelIndex current = ui->roomListView->currentIndex();
    if (!ui->roomWidget->getRoom() && current.isValid())
        roomListView_rowChanged(current, current);
    if (ui->roomWidget->getRoom() && ui->roomWidget->getRoom() == releasedRoom)
        ui->roomWidget->selectCell(releasedCell);
    releasedRoom = nullptr;
    ui->roomWidget->setUpdatesEnabled(true);
    refreshListColours();
}

// The first matching cell becomes the current one, which the inspector shows; selecting it
// first leaves all of them selected. A result from before the stages were replaced shows nothing.
void MainWindow::showFoundRoom(Stage* stage, int row, const QList<QPoint>& cells) {
    if (!db->stages.contains(stage) || row < 0 || row >= stage->rooms.size())
        return;
    showRoom(*stage, row, true);
    if (cells.isEmpty())
        return;
    ui->roomWidget->selectCell(cells.first());
    ui->roomWidget->selectCells(cells);
}

int MainWindow::shownRoomRow(Stage& stage) {
    return &stage == currentStage() ? stageRoomRow(stage, ui->roomWidget->getRoom()) : -1;
}

// Adjacent rows make one range: pasting hundreds of rooms selects them in a few ranges.
void MainWindow::selectRooms(Stage& stage, const QVector<int>& rows) {
    if (&stage != currentStage())
        return;
    QItemSelection selection;
    int previous = -2;
    for (int row : rows) {
        const QModelIndex index = roomFilterModel->mapFromSource(stage.getModel()->index(row));
        if (!index.isValid())
            continue;
        if (index.row() == previous + 1)
            selection.last() = QItemSelectionRange(selection.last().topLeft(), index);
        else
            selection.append(QItemSelectionRange(index));
        previous = index.row();
    }
    ui->roomListView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// The room list's current row follows its room to its new place, unless the filter, which saw
// the rooms anew, no longer matches the room since it was edited: then the filter gives way.
void MainWindow::roomsReordered(Stage& stage) {
    Room* shownRoom = ui->roomWidget->getRoom();
    if (&stage != currentStage() || roomAt(ui->roomListView->currentIndex()) == shownRoom)
        return;
    releaseRooms(stage);
    showRoom(stage, stageRoomRow(stage, shownRoom), true);
}

QList<Stage*> MainWindow::unsavedStages() const {
    QList<Stage*> unsaved;
    for (Stage* stage : qAsConst(db->stages)) {
        if (stage->hasUnsavedChanges())
            unsaved.append(stage);
    }
    return unsaved;
}

// Every save of stage files goes through here: the stages written are where their histories now
// count as unchanged, and lose their autosave copies. A file changed by another program since
// the editor read or wrote it is asked about before anything is written. True when every
// unsaved stage was written.
bool MainWindow::saveStages() {
    for (Stage* stage : unsavedStages()) {
        if (fileWatcher->takeUnreportedChange(*stage))
            askAboutChangedFile(*stage);
    }
    const QList<Stage*> unsaved = unsavedStages();
    const bool saved = db->save();
    for (Stage* stage : unsaved) {
        auto* history = stage->findChild<StageHistory*>();
        if (history && !stage->hasUnsavedChanges())
            history->setClean();
        autosaver->stageChanged(*stage);
    }
    return saved;
}

// Game preview

void MainWindow::on_actionVarurOzidari_triggered() {
    const QString executable = editorSetting(SettingsKey::GameExecutable);
    const QString workingDirectory = editorSetting(SettingsKey::GamePath);
    const Stage* stage = currentStage();
    if (!stage) {
        showPlainMessage(QStringLiteral("Invalid stageListView row: %1").arg(currentStageIndex()));
        return;
    }
    const Room* room = ui->roomWidget->getRoom();
    if (!room || room->type == 0) {
        ui->statusBar->showMessage(QStringLiteral("Cannot make preview with no room selected."));
        return;
    }
    // Without a working directory the preview file would land at the root of the file system.
    const bool folderExists = !workingDirectory.isEmpty() && QFileInfo(workingDirectory).isDir();
    if (folderExists)
        DB::saveRoom(*room, workingDirectory + QStringLiteral("/varurozidari.xml"));
    if (!folderExists || !QFileInfo(executable).isFile()) {
        showPlainMessage(QStringLiteral("Cannot find Quorle executable and/or path. Please adjust "
                                        "the settings, then try again."));
        settingsDialog->show();
        return;
    }
    startPreview(executable, workingDirectory, stage->id);
}

// Deleting the previous process ends a game still running from the last preview.
void MainWindow::startPreview(const QString& executable, const QString& workingDirectory,
                              int stageId) {
    delete previewProcess;
    previewProcess = new QProcess(this);
    previewProcess->setProgram(executable);
    previewProcess->setArguments(gameStageOptions(stageId)
                                 << QStringLiteral("--load-room=varurozidari.xml"));
    previewProcess->setWorkingDirectory(workingDirectory);
    previewProcess->start(QIODevice::ReadWrite);
    previewProcess->waitForStarted(30000);
}

// Settings

void MainWindow::on_actionSettings_triggered() {
    settingsDialog->show();
}

// A new resources folder replaces every stage: the lists and the canvas let go of the old
// ones first, and afterwards no stage is current until the user picks one.
void MainWindow::settingsAccepted() {
    if (!settingsDialog->resourcesChanged) {
        settingsDialog->updateConfig();
        autosaver->setInterval(autosaveSeconds());
        return;
    }
    if (!saveBeforeReload())
        return;
    settingsDialog->updateConfig();
    autosaver->setInterval(autosaveSeconds());
    // The unsaved changes left were given up: their copies go with them.
    autosaver->removeCopies();
    detachRooms();
    load_entity_config();
    stageListModel->beginStageListReset();
    db->load();
    stageListModel->endStageListReset();
    problems->checkStages(db->stages, &g_EntityConfig);
    fileWatcher->watch(db->stages, DB::cataloguePath());
    findDock->refresh();
}

// False when the user cancelled or a stage could not be saved.
bool MainWindow::saveBeforeReload() {
    const auto unsaved =
        std::count_if(db->stages.cbegin(), db->stages.cend(),
                      [](const Stage* stage) { return stage->hasUnsavedChanges(); });
    if (unsaved == 0)
        return true;
    const QString question = QStringLiteral("%1 stages have unsaved changes. Do you want to save "
                                            "before changing to a different resource path?")
                                 .arg(unsaved);
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Save changes?"), question,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return answer == QMessageBox::No;
    // A stage that could not be written would be lost by the reload: keep everything as it is,
    // the old resources folder included, and leave the new one pending in the dialog. The
    // stages that were written are saved all the same.
    const bool saved = saveStages();
    refreshListColours();
    return saved;
}

// Quitting

// Quitting asks nothing and leaves the stage files alone; unsaved stages are kept in a
// recovery folder instead, and the next start says where. Their autosave copies go, unless
// that failed.
void MainWindow::on_actionQuit_triggered() {
    autosaver->removeCopies(keepUnsavedStages());
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    on_actionQuit_triggered();
    event->accept();
}

// The one message quitting may show: the unsaved stages that could not be kept are lost.
QStringList MainWindow::keepUnsavedStages() {
    const int unsaved = unsavedStages().size();
    if (unsaved == 0)
        return {};
    const QString folder = makeDatedRecoveryFolder();
    const BatchReport report = db->saveUnsavedStagesTo(folder);
    // The box has no use for the line break that ends the file list.
    if (!report.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Warning"), report.text().chopped(1));
    QStringList lost;
    for (const BatchReport::Failure& failure : report.failures)
        lost << failure.file;
    if (report.failures.size() == unsaved)
        return lost;
    QSaveFile marker(recoveryMarkerPath());
    if (marker.open(QIODevice::WriteOnly) && marker.write(folder.toUtf8()) >= 0)
        marker.commit();
    return lost;
}

void MainWindow::reportKeptStages() {
    QFile marker(recoveryMarkerPath());
    if (!marker.open(QIODevice::ReadOnly))
        return;
    const QString folder = QString::fromUtf8(marker.readAll());
    marker.remove();
    ui->statusBar->showMessage(
        QStringLiteral("Unsaved stages of the last session were kept in %1").arg(folder));
}

// Unsaved work

void MainWindow::startAutosave() {
    autosaveFolders = std::make_unique<AutosaveFolders>();
    autosaver = std::make_unique<Autosaver>(autosaveFolders->path());
    autosaver->setInterval(autosaveSeconds());
    connect(autosaver.get(), &Autosaver::copyFailed, this, [this](const QString& file) {
        ui->statusBar->showMessage(
            QStringLiteral("Could not autosave to %1").arg(QDir::toNativeSeparators(file)));
    });
}

// Copies that no running editor owns are the unsaved work of an editor that crashed or was
// killed. Whatever the user chooses, they are moved out of the autosave folder, never deleted.
void MainWindow::offerRecovery() {
    const QList<AutosaveFolders::Copy> copies = autosaveFolders->orphanedCopies();
    if (copies.isEmpty())
        return;
    QStringList lines;
    for (const AutosaveFolders::Copy& copy : copies) {
        const Stage* stage = stageOfFile(copy.stagePath);
        lines << QStringLiteral("%1%2, copied %3")
                     .arg(stage ? stage->name + QStringLiteral(": ") : QString(), copy.stagePath,
                          QLocale().toString(copy.written, QLocale::ShortFormat));
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Recover Unsaved Work"),
                    QStringLiteral("An editor on this working folder stopped without quitting. "
                                   "It left copies of unsaved stages:\n\n%1")
                        .arg(lines.join(QLatin1Char('\n'))),
                    QMessageBox::NoButton, this);
    box.setInformativeText(QStringLiteral(
        "Recover puts their rooms into the stages, to be saved. Keep for Later leaves the stages "
        "as they were loaded. Either way the copies are moved to the recovery folder."));
    QPushButton* recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Keep for Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.exec();
    const int recovered = box.clickedButton() == recover ? recoverStages(copies) : 0;
    refreshListColours();
    const QString folder = QDir::toNativeSeparators(autosaveFolders->moveOrphanedCopies());
    ui->statusBar->showMessage(
        folder.isEmpty() ? QStringLiteral("Could not move the copies of unsaved work out of %1")
                               .arg(QDir::toNativeSeparators(autosaveFolders->path()))
        : recovered > 0
            ? QStringLiteral("Recovered %1 %2; the copies were moved to %3")
                  .arg(recovered)
                  .arg(recovered == 1 ? QStringLiteral("stage") : QStringLiteral("stages"), folder)
            : QStringLiteral("The copies of unsaved work were moved to %1").arg(folder));
}

// The newest copy of a stage wins; a copy that cannot be read leaves its stage alone.
int MainWindow::recoverStages(const QList<AutosaveFolders::Copy>& copies) {
    int recovered = 0;
    QSet<Stage*> done;
    for (const AutosaveFolders::Copy& copy : copies) {
        Stage* stage = stageOfFile(copy.stagePath);
        StableList<Room> rooms;
        if (!stage || done.contains(stage) || !DB::readStageFile(copy.file, rooms))
            continue;
        done.insert(stage);
        DB::replaceRooms(*stage, rooms);
        stage->setChanged(true);
        autosaver->stageChanged(*stage);
        ++recovered;
    }
    return recovered;
}

Stage* MainWindow::stageOfFile(const QString& file) const {
    const auto stage =
        std::find_if(db->stages.cbegin(), db->stages.cend(),
                     [&](const Stage* stage) { return stageFileName(*stage) == file; });
    return stage == db->stages.cend() ? nullptr : *stage;
}

// Stage files

void MainWindow::watchStageFiles() {
    fileWatcher = new StageFileWatcher(this);
    connect(fileWatcher, &StageFileWatcher::stageFileChanged, this, &MainWindow::stageFileChanged);
    connect(fileWatcher, &StageFileWatcher::stageFileDeleted, this, &MainWindow::stageFileDeleted);
    connect(fileWatcher, &StageFileWatcher::catalogueChanged, this, [this](const QString& file) {
        ui->statusBar->showMessage(
            QStringLiteral("%1 was changed on disk; the stage list stays as it was loaded")
                .arg(QDir::toNativeSeparators(file)));
    });
    fileWatcher->watch(db->stages, DB::cataloguePath());
}

// A stage without unsaved changes follows its file; the user decides for any other. An edit
// still under way counts as a change.
void MainWindow::stageFileChanged(Stage* stage) {
    if (askingAboutFile) {
        filesToAskAbout.append(stage);
        return;
    }
    finishPendingEdits();
    if (!stage->hasUnsavedChanges()) {
        if (reloadStage(*stage)) {
            ui->statusBar->showMessage(
                QStringLiteral("Reloaded %1: it was changed on disk").arg(stageFileName(*stage)));
        }
        return;
    }
    askAboutChangedFile(*stage);
}

void MainWindow::askAboutChangedFile(Stage& stage) {
    askingAboutFile = true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("File Changed on Disk"),
                    QStringLiteral("%1 was changed by another program.").arg(stageFileName(stage)),
                    QMessageBox::NoButton, this);
    box.setInformativeText(
        QStringLiteral("Reload shows the file as it is now and keeps your version in the "
                       "recovery folder. Keep Mine keeps your version, and Save writes it."));
    QPushButton* reload = box.addButton(QStringLiteral("Reload"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QStringLiteral("Keep Mine"), QMessageBox::RejectRole));
    box.exec();
    askingAboutFile = false;
    if (box.clickedButton() == reload)
        reloadKeepingMine(stage);
    while (!filesToAskAbout.isEmpty()) {
        const QPointer<Stage> next = filesToAskAbout.takeFirst();
        if (next)
            stageFileChanged(next);
    }
}

// The editor's version is only given up once it is kept.
void MainWindow::reloadKeepingMine(Stage& stage) {
    const QString folder = makeDatedRecoveryFolder();
    if (!DB::writeStageFile(stage.rooms, DB::stageCopyPath(folder, stage))) {
        ui->statusBar->showMessage(
            QStringLiteral("Did not reload %1: could not keep your version in %2")
                .arg(stageFileName(stage), QDir::toNativeSeparators(folder)));
        return;
    }
    if (reloadStage(stage)) {
        ui->statusBar->showMessage(
            QStringLiteral("Reloaded %1; your version was kept in %2")
                .arg(stageFileName(stage), QDir::toNativeSeparators(folder)));
    }
}

// The stage's history starts anew from the file. The room shown stays shown when it is still
// there.
bool MainWindow::reloadStage(Stage& stage) {
    const bool shown = &stage == currentStage();
    const Room* room = shown ? ui->roomWidget->getRoom() : nullptr;
    const int row = room ? stageRoomRow(stage, room) : 0;
    const quint32 type = room ? room->type : 0;
    const quint32 variant = room ? room->variant : 0;
    const QPoint cell = ui->roomWidget->getSelectedCell();
    if (shown)
        detachRooms();
    QString reason;
    const bool reloaded = db->reloadStage(stage, &reason);
    if (reloaded) {
        // Replacing the rooms may have emptied the history already, without making it clean.
        StageHistory& steps = history(stage);
        steps.clear();
        steps.setClean();
        autosaver->stageChanged(stage);
    } else {
        ui->statusBar->showMessage(
            QStringLiteral("Could not reload %1 (%2)").arg(stageFileName(stage), reason));
    }
    if (shown) {
        const int shownRow = rowAfterReplacement(stage, row, type, variant);
        const bool sameRoom = room && shownRow >= 0 && stage.rooms.at(shownRow).type == type &&
                              stage.rooms.at(shownRow).variant == variant;
        showReplacedRoom(stage, shownRow, sameRoom, cell);
    }
    refreshListColours();
    findDock->refresh();
    return reloaded;
}

void MainWindow::stageFileDeleted(Stage* stage) {
    history(*stage).resetClean();
    refreshListColours();
    ui->statusBar->showMessage(QStringLiteral("%1 was deleted on disk; Save writes the stage back")
                                   .arg(stageFileName(*stage)));
}
