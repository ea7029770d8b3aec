#pragma once

#include "db.h"
#include "entitywidget.h"
#include "main.h"
#include "mainwindow.h"
#include "roomwidget.h"
#include "settingsdialog.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <memory>

// The stored fields: type, variant, subtype, difficulty, shape, weight.
inline QString roomFields(const Room& room) {
    return QString::asprintf("%u %u %u %d %d %g", room.type, room.variant, room.subtype,
                             room.difficulty, room.shape, double(room.weight));
}

// A workspace with the editor's own lists, a small entity catalogue with one icon, and two
// stages: "Basement" (id 1: Start Room 1.0, Boss Arena 1.1, Shop 2.4, Abyss bridge 1.3) and
// "Caves" (id 6: Dark Shop 2.5, Cave Bridge 1.7); plus the editor window over it.
class EditorFixture {
public:
    EditorFixture()
        : answerer(new ModalAnswerer) {
        QApplication::setQuitOnLastWindowClosed(false); // closing a window must not end the run
        workspace.write("rooms.txt", "Null\nNormal\nShop\n");
        workspace.write("blacklist.txt", "");
        workspace.write("entities_custom.txt", "");
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(Qt::blue);
        icon.save(folder("icons") + "/10.0.png");
        workspace.makeResources({{1, "Basement", "basement.xml"}, {6, "Caves", "Caves.XML"}});
        workspace.write("resources/entities2.xml",
                        "<entities>\n"
                        "<entity id=\"10\" variant=\"0\" subtype=\"0\" name=\"Gaper\"/>\n"
                        "<entity id=\"10\" variant=\"1\" subtype=\"0\" name=\"Frowning Gaper\"/>\n"
                        "<entity id=\"10\" variant=\"0\" subtype=\"2\" name=\"Gaper Twin\"/>\n"
                        "<entity id=\"13\" variant=\"0\" subtype=\"0\" name=\"Fly\"/>\n"
                        "</entities>\n");
        writeStage("basement", {testRoom(1, 0, "Start Room"),
                                testRoom(1, 1, "Boss Arena", 5, RoomShape2x2, 2.5f),
                                testRoom(2, 4, "Shop", 10, RoomShape1x1H),
                                testRoom(1, 3, "Abyss bridge", 1, RoomShapeLBR, 0.5f)});
        writeStage("caves", {testRoom(2, 5, "Dark Shop"), testRoom(1, 7, "Cave Bridge")});
    }

    void writeStage(const QString& stage, const StableList<Room>& rooms) const {
        workspace.write(QStringLiteral("resources/rooms/%1.xml").arg(stage), stageXml(rooms));
    }
    QByteArray readStage(const QString& stage) const {
        return workspace.read(QStringLiteral("resources/rooms/%1.xml").arg(stage));
    }
    // Creates a folder below the workspace and returns its path.
    QString folder(const QString& name) const {
        return QDir().mkpath(workspace.filePath(name)) ? workspace.filePath(name) : QString();
    }

    // Opens the window; shown, the canvas has painted and knows its cells.
    MainWindow& open(bool shown = false) {
        window.reset();
        window.reset(new MainWindow);
        if (shown) {
            window->show();
            QApplication::setActiveWindow(window.get());
            if (!QTest::qWaitForWindowActive(window.get()))
                qWarning("window did not become active");
        }
        return *window;
    }

    // Opens the window on the stage and its room.
    void openAt(int stage, int room = 0, bool shown = false) {
        open(shown);
        chooseStage(stage);
        chooseRoom(room);
    }

    void answerWith(ModalAnswerer::Answer answer) {
        answerer = std::make_unique<ModalAnswerer>(std::move(answer));
    }

    template <typename T> T* widget(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    void trigger(const char* action) const { widget<QAction>(action)->trigger(); }
    void click(const char* button) const {
        QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
    }
    // Edit > Replace Entity..., with the dialog filled in and accepted as soon as it opens.
    void replaceEntity(const QString& from, const QString& to, const char* scopeButton) const {
        QTimer::singleShot(0, [=] {
            QWidget* dialog = QApplication::activeModalWidget();
            dialog->findChild<QLineEdit*>("replaceFromEdit")->setText(from);
            dialog->findChild<QLineEdit*>("replaceWithEdit")->setText(to);
            dialog->findChild<QRadioButton*>(scopeButton)->click();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        trigger("actionReplaceEntity");
    }
    void setName(const QString& name) const { widget<QLineEdit>("nameLine")->setText(name); }
    void setFilter(const QString& text) const {
        widget<QLineEdit>("roomFilterLine")->setText(text);
    }
    QListView* stageList() const { return widget<QListView>("stageListView"); }
    QListView* roomList() const { return widget<QListView>("roomListView"); }
    RoomWidget* canvas() const { return widget<RoomWidget>("roomWidget"); }
    Room* shown() const { return canvas()->getRoom(); }
    QTableView* inspector() const { return widget<QTableView>("tableView"); }
    SettingsDialog* settingsDialog() const { return window->findChild<SettingsDialog*>(); }
    QString statusText() const { return window->statusBar()->currentMessage(); }
    // What the editors show, in the form roomFields() gives a room (the difficulty as stored, the
    // size as its shape), then the name.
    QString editorTexts() const {
        const int difficulty = widget<QComboBox>("difficultyCombo")->currentIndex();
        return QString::asprintf("%d %d %d %d %d %g ",
                                 widget<QComboBox>("typeCombo")->currentIndex(),
                                 widget<QSpinBox>("variantSpinBox")->value(),
                                 widget<QSpinBox>("subtypeSpinBox")->value(),
                                 QList<int>{1, 5, 10}.value(difficulty, -1),
                                 widget<QComboBox>("sizeCombo")->currentIndex() + 1,
                                 widget<QDoubleSpinBox>("weightSpinBox")->value()) +
               widget<QLineEdit>("nameLine")->text();
    }

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
            rooms << roomAt(model->index(row, 0));
        return rooms;
    }
    // The room of the room list's current row, or none without one.
    Room* listRoom() const { return roomAt(roomList()->currentIndex()); }
    bool stageMarkedChanged(int row) const { return markedChanged(stageList(), row); }
    bool roomMarkedChanged(int row) const { return markedChanged(roomList(), row); }

    // Mouse work on the canvas: a move to the cell (with buttons held), then a press there.
    void hoverCell(int x, int y, Qt::MouseButtons buttons = Qt::NoButton) const {
        // Cell positions are those of the last paint; let pending resizes land first.
        QCoreApplication::processEvents();
        canvas()->repaint();
        QMouseEvent move(QEvent::MouseMove, canvas()->cellRect(x, y).center(), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(canvas(), &move);
    }
    void clickCell(int x, int y) const {
        hoverCell(x, y);
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier,
                          canvas()->cellRect(x, y).center());
    }
    void addEntity(int type, int variant, qreal weight = 1.0, int subtype = 0) const {
        emit widget<EntityWidget>("entityWidget")
            ->addEntity(g_EntityConfig.GetEntity(type, variant, subtype), weight);
    }

    TestWorkspace workspace;
    std::unique_ptr<ModalAnswerer> answerer;
    std::unique_ptr<MainWindow> window;

private:
    static Room* roomAt(const QModelIndex& index) {
        return static_cast<Room*>(index.data(RoomAddressRole).value<void*>());
    }
    static bool markedChanged(const QListView* list, int row) {
        const QVariant brush = list->model()->index(row, 0).data(Qt::BackgroundRole);
        return brush.value<QBrush>().color() == QColor(255, 200, 200);
    }
};
