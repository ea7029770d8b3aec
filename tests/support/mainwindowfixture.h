#pragma once

#include "db.h"
#include "entitywidget.h"
#include "main.h"
#include "mainwindow.h"
#include "roomwidget.h"
#include "settingsdialog.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <sstream>

// A room as the stage files of the tests hold it: a full grid for its shape, doors included.
inline Room testRoom(quint32 type, quint32 variant, const QString& name, int difficulty = 1,
                     quint8 shape = RoomShape1x1, float weight = 1.0f) {
    Room room;
    room.type = type;
    room.variant = variant;
    room.name = name;
    room.difficulty = quint8(difficulty);
    room.shape = shape;
    room.weight = weight;
    const QSize grid = roomShapeGridSize(shape);
    room.resize(grid.width(), grid.height());
    return room;
}

inline QByteArray stageXml(const QList<Room>& rooms) {
    pugi::xml_document doc;
    pugi::xml_node node = doc.append_child("rooms");
    for (const Room& room : rooms)
        DB::append_xml_room(node, room);
    std::ostringstream out;
    doc.save(out);
    return QByteArray::fromStdString(out.str());
}

// A workspace with the editor's own lists, a small entity catalogue with one icon, and two
// stages, "Basement" (four rooms) and "Caves" (two rooms); plus the editor window over it.
class EditorFixture {
public:
    static QList<Room> basementRooms() {
        return {testRoom(1, 0, QStringLiteral("Start Room")),
                testRoom(1, 1, QStringLiteral("Boss Arena"), 5, RoomShape2x2, 2.5f),
                testRoom(2, 4, QStringLiteral("Shop"), 10, RoomShape1x1H),
                testRoom(1, 3, QStringLiteral("Abyss bridge"), 1, RoomShapeLBR, 0.5f)};
    }
    static QList<Room> cavesRooms() {
        return {testRoom(2, 5, QStringLiteral("Dark Shop")),
                testRoom(1, 7, QStringLiteral("Cave Bridge"))};
    }

    EditorFixture()
        : answerer(new ModalAnswerer) {
        workspace.write(QStringLiteral("rooms.txt"), "Null\nNormal\nShop\n");
        workspace.write(QStringLiteral("blacklist.txt"), "");
        workspace.write(QStringLiteral("entities_custom.txt"), "");
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(Qt::blue);
        QDir().mkpath(workspace.filePath(QStringLiteral("icons")));
        icon.save(workspace.filePath(QStringLiteral("icons/10.0.png")));
        workspace.makeResources({{1, QStringLiteral("Basement"), QStringLiteral("basement.xml")},
                                 {6, QStringLiteral("Caves"), QStringLiteral("Caves.XML")}});
        writeEntities(QStringLiteral("resources"));
        workspace.write(QStringLiteral("resources/rooms/basement.xml"), stageXml(basementRooms()));
        workspace.write(QStringLiteral("resources/rooms/caves.xml"), stageXml(cavesRooms()));
    }

    void writeEntities(const QString& folder) {
        workspace.write(folder + QStringLiteral("/entities2.xml"),
                        "<entities>\n"
                        "<entity id=\"10\" variant=\"0\" subtype=\"0\" name=\"Gaper\"/>\n"
                        "<entity id=\"10\" variant=\"1\" subtype=\"0\" name=\"Frowning Gaper\"/>\n"
                        "<entity id=\"13\" variant=\"0\" subtype=\"0\" name=\"Fly\"/>\n"
                        "</entities>\n");
    }

    MainWindow& open() {
        window.reset(new MainWindow);
        return *window;
    }

    // Opens the window on screen, so that the canvas has painted and knows its cells.
    MainWindow& openShown() {
        open();
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("window did not become active");
        return *window;
    }

    // Replaces the way modal dialogs are answered.
    void answerWith(ModalAnswerer::Answer answer) {
        answerer.reset();
        answerer.reset(new ModalAnswerer(std::move(answer)));
    }

    template <typename T> T* widget(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    void trigger(const char* action) const { widget<QAction>(action)->trigger(); }
    QListView* stageList() const { return widget<QListView>("stageListView"); }
    QListView* roomList() const { return widget<QListView>("roomListView"); }
    RoomWidget* canvas() const { return widget<RoomWidget>("roomWidget"); }
    QTableView* inspector() const { return widget<QTableView>("tableView"); }
    SettingsDialog* settingsDialog() const { return window->findChild<SettingsDialog*>(); }
    QString statusText() const { return window->statusBar()->currentMessage(); }

    void chooseStage(int row) const {
        stageList()->setCurrentIndex(stageList()->model()->index(row, 0));
    }
    void chooseRoom(int row) const {
        roomList()->setCurrentIndex(roomList()->model()->index(row, 0));
    }
    QStringList visibleRoomTexts() const {
        QStringList texts;
        const QAbstractItemModel* model = roomList()->model();
        for (int row = 0; model && row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts;
    }
    // Every room of the current stage, filtered or not, in stage order.
    QList<Room*> stageRooms() const {
        QList<Room*> rooms;
        const auto* filter = qobject_cast<QSortFilterProxyModel*>(roomList()->model());
        const QAbstractItemModel* model = filter ? filter->sourceModel() : nullptr;
        for (int row = 0; model && row < model->rowCount(); ++row)
            rooms << static_cast<Room*>(model->index(row, 0).data(Qt::UserRole + 1).value<void*>());
        return rooms;
    }
    QStringList stageRoomNames() const {
        QStringList names;
        for (const Room* room : stageRooms())
            names << room->name;
        return names;
    }
    bool stageMarkedChanged(int row) const { return stageRowColour(row) == changedColour(); }
    bool roomMarkedChanged(int row) const { return roomRowColour(row) == changedColour(); }
    static QColor changedColour() { return QColor(255, 200, 200); }

    QColor roomRowColour(int row) const {
        return roomList()->model()->index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color();
    }
    QColor stageRowColour(int row) const {
        return stageList()->model()->index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color();
    }

    // The canvas shows exactly the room of the room list's current row, or none without one.
    Room* listRoom() const {
        const QModelIndex current = roomList()->currentIndex();
        return current.isValid() ? static_cast<Room*>(current.data(Qt::UserRole + 1).value<void*>())
                                 : nullptr;
    }

    // Mouse work on the canvas: a move to the cell (with buttons held), then a press there.
    void hoverCell(int x, int y, Qt::MouseButtons buttons = Qt::NoButton) const {
        // Cell positions are those of the last paint; let pending resizes land first.
        QCoreApplication::processEvents();
        canvas()->repaint();
        QMouseEvent move(QEvent::MouseMove, canvas()->cellRect(x, y).center(), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(canvas(), &move);
    }
    void clickCell(int x, int y, Qt::MouseButton button = Qt::LeftButton) const {
        hoverCell(x, y);
        QTest::mouseClick(canvas(), button, Qt::NoModifier, canvas()->cellRect(x, y).center());
    }

    void addEntity(int type, int variant, qreal weight = 1.0) const {
        emit widget<EntityWidget>("entityWidget")
            ->addEntity(g_EntityConfig.GetEntity(type, variant, 0), weight);
    }

    TestWorkspace workspace;
    std::unique_ptr<ModalAnswerer> answerer;
    std::unique_ptr<MainWindow> window;
};

// Runs the application's event loop, lets action end it, and returns the exit code (-2 when
// nothing ended the loop within five seconds). Running the application's own loop also clears
// the quit request again, so the dialogs of later tests still wait for an answer.
inline int runUntilQuit(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-2); });
    guard.start(5000);
    return QCoreApplication::exec();
}

// Answers a folder dialog with the folder and every message box with the button; records the
// folder each file dialog started in.
inline ModalAnswerer::Answer folderThen(const QString& folder, QMessageBox::StandardButton button,
                                        QStringList* startFolders = nullptr) {
    const ModalAnswerer::Answer choose = ModalAnswerer::chooseFolder(folder);
    const ModalAnswerer::Answer press = ModalAnswerer::pressButton(button);
    return [=](QWidget* dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(dialog)) {
            if (startFolders)
                startFolders->append(fileDialog->directory().absolutePath());
            choose(dialog);
        } else {
            press(dialog);
        }
    };
}
