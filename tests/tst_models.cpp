#include "EntityConfig.h"
#include "db.h"
#include "testsupport.h"
#include "wildcard.h"

#include <QtTest>

// The room list and spawn table models, and the room filter's patterns.
class TestModels : public QObject {
    Q_OBJECT
private slots:
    void roomRowsAndRoles();
    void spawnTable();
    void roomFilterPatterns_data();
    void roomFilterPatterns();
};

void TestModels::roomRowsAndRoles() {
    DB::roomTypeStrings = QStringList{"Zero", "Normal"};
    StableList<Room> rooms;
    for (int i = 0; i < 5; ++i)
        rooms.append(testRoom(1, quint32(i), "%1 r"));
    rooms[4].type = 2;
    rooms[1].setChanged(true);
    RoomListModel model(rooms);
    // Types beyond the known names show as numbers.
    QCOMPARE(model.data(model.index(0)).toString(), "Normal_0 %1 r");
    QCOMPARE(model.data(model.index(4)).toString(), "2_4 %1 r");
    QCOMPARE(model.data(model.index(1), Qt::BackgroundRole).value<QBrush>().color(),
             QColor(255, 200, 200));
    const Room copy = model.data(model.index(1), RoomCopyRole).value<Room>();
    QCOMPARE(copy.variant, 1u);
    QVERIFY(copy.hasUnsavedChanges());
    // A room put in by the editor is not yet in the stage file.
    QVERIFY(model.insertRoom(5, testRoom(1, 9, "Shop")));
    QVERIFY(rooms[5].hasUnsavedChanges());
}

void TestModels::spawnTable() {
    TestWorkspace workspace;
    workspace.write("resources/entities2.xml",
                    "<entities><entity id='10' variant='0' subtype='0' name='Gloomcrawler'/>"
                    "</entities>");
    g_EntityConfig.Load(workspace.filePath("resources/entities2.xml"), "none", "none");
    Room::Spawn spawn;
    spawn.entries << Room::Entry{10, 0, 0, 1.5f} << Room::Entry{77, 1, 2, 1.0f};
    SpawnTableModel model(spawn);
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), "b");
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QCOMPARE(model.data(model.index(0, 0)).toString(), "10.0.0 Gloomcrawler");
    QCOMPARE(model.data(model.index(1, 0)).toString(), "77.1.2");
    QCOMPARE(model.data(model.index(0, 1)).toFloat(), 1.5f);
    QVERIFY(model.setData(model.index(1, 1), -2.5));
    QCOMPARE(spawn.entries[1].weight, -2.5f);
}

void TestModels::roomFilterPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches"); // anywhere in "Normal_3 Boss Arena [2] a.b\d"
    const QList<std::pair<const char*, bool>> rows = {
        {"BOSS", true},     {"n*3", true},      {"b?ss", true},     {"bo?ss", false},
        {"[bc]oss", true},  {"[^b]oss", false}, {"[z-a]oss", true}, {"[]x]", true},
        {"arena [2", true}, {"l.3", false},     {"\\d", true},      {"_[0-2]", false},
    };
    for (const auto& [pattern, matches] : rows)
        QTest::newRow(pattern) << QString(pattern) << matches;
}

// '*' and '?' stand for any run and any one character, "[...]" for one of a set; the rest is
// itself, in any case, anywhere in the text.
void TestModels::roomFilterPatterns() {
    QFETCH(QString, pattern);
    QTEST(wildcardExpression(pattern).match("Normal_3 Boss Arena [2] a.b\\d").hasMatch(),
          "matches");
}

QTEST_MAIN(TestModels)
#include "tst_models.moc"
