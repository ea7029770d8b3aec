#include "EntityConfig.h"
#include "testsupport.h"

#include <QImage>
#include <QtTest>

namespace {

QByteArray entity(int type, int variant, const char* name, int subtype = 0) {
    return QString::asprintf("<entity id=\"%d\" variant=\"%d\" subtype=\"%d\" name=\"%s\"/>", type,
                             variant, subtype, name)
        .toUtf8();
}

// Field i of a "type.variant.subtype" triple.
int number(const QString& triple, int i) {
    return triple.section(QLatin1Char('.'), i, i).toInt();
}

QStringList describe(const std::vector<EntityConfig::Entity>& entities) {
    QStringList result;
    for (const EntityConfig::Entity& e : entities)
        result << QString::asprintf("%d.%d.%d %s", e.type, e.variant, e.subtype, e.name.c_str());
    return result;
}

// A working folder for one catalogue, whose files load() writes.
struct Catalogue {
    TestWorkspace workspace;
    EntityConfig config;

    void icon(const QString& fileName, int width) const {
        QImage image(width, 8, QImage::Format_ARGB32);
        image.fill(Qt::red);
        const QString path = workspace.filePath(QStringLiteral("icons/") + fileName);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG"));
    }
    QString reload() {
        return config.Load("entities2.xml", "blacklist.txt", "entities_custom.txt");
    }
    QString load(const QByteArray& entities, const QByteArray& blacklist = "",
                 const QByteArray& custom = "") {
        workspace.write(QStringLiteral("entities2.xml"), "<entities>" + entities + "</entities>");
        workspace.write(QStringLiteral("blacklist.txt"), blacklist);
        workspace.write(QStringLiteral("entities_custom.txt"), custom);
        return reload();
    }
    QStringList all() { return describe(config.GetAllEntities()); }
};

} // namespace

class TestEntityConfig : public QObject {
    Q_OBJECT

private slots:
    // The game's bookkeeping types never reach the catalogue, nor does what a blacklist line of
    // exactly three numbers names; a line's first 255 bytes are a line of their own.
    void gameEntities() {
        QByteArray entities;
        for (int type : {4, 5, 6, 7, 8, 9, 0, 999, 1000, 1001})
            entities += entity(type, 1, "A &amp; B");
        for (int variant = 1; variant <= 6; ++variant)
            entities += entity(10, variant, "Ten");
        entities += entity(10, 2, "Ten", 1); // named by "10,2,1", unlike 10.2.0
        Catalogue c;
        c.load(entities, "12,0,0\r\n  10,1,0 \t\r\n10,2,1\n10,3\n10,4,0,0\n10,6,0" +
                             QByteArray(249, ' ') + "12,0,0\n");
        QCOMPARE(c.all(),
                 QStringList({"5.1.0 A & B", "6.1.0 A & B", "10.2.0 Ten", "10.3.0 Ten",
                              "10.4.0 Ten", "10.5.0 Ten", "999.1.0 A & B", "1001.1.0 A & B"}));
    }

    // Missing files are named. Custom lines of four fields bypass the blacklist and the type
    // rule and join the game's entities in one sorted list. A missing subtype falls back to
    // subtype 0, then a missing variant to variant 0; negative numbers fall back no further.
    void catalogue() {
        Catalogue c;
        QCOMPARE(c.reload(), "Warning: Could not open blacklist blacklist.txt\n"
                             "Warning: Could not open entities entities2.xml!\n"
                             "Please adjust the settings (Tools->Settings...), then try again.\n"
                             "Warning: Could not open custom entity config entities_custom.txt\n"
                             "Warning: Could not open icons dir " +
                                 c.workspace.filePath(QStringLiteral("icons")) + '\n');
        c.load(entity(20, 0, "g") + entity(5, 3, "b") + entity(5, 100, "Game Relic") +
                   entity(7, 0, "Beam"),
               "5,100,0\n",
               "5,100,0,Relic\n7,0,0,Beam\n5,1,0,Item, large\n5,1,1\n  5,1,2,  Big  \r\n"
               "5,3,-1,c\n20,-4,9,e\n6,0,0,Fl\xc3\xbcgel\n-2,0,0,z\n5,0,0,Base\n5,100,2,Relic Two\n"
               "7,3,0,Seven Three\n");
        QCOMPARE(c.all(),
                 QStringList({"-2.0.0 z", "5.0.0 Base", "5.1.2   Big", "5.3.-1 c", "5.3.0 b",
                              "5.100.0 Relic", "5.100.2 Relic Two", "6.0.0 Fl\u00fcgel",
                              "7.0.0 Beam", "7.3.0 Seven Three", "20.-4.9 e", "20.0.0 g"}));
        QCOMPARE(describe(c.config.GetEntityVariants(20)), QStringList({"20.-4.9 e", "20.0.0 g"}));
        QStringList found;
        for (const char* triple :
             {"5.100.2", "5.100.3", "5.7.3", "7.3.-1", "7.-2.0", "8.100.2", "900.1.1"}) {
            const EntityConfig::Entity* entity =
                c.config.GetEntity(number(triple, 0), number(triple, 1), number(triple, 2));
            found << (entity ? QString::fromStdString(entity->name) : QString());
        }
        QCOMPARE(found, QStringList({"Relic Two", "Relic", "Base", "Beam", "", "", ""}));
    }

    // Icons are named type.variant[.subtype].extension and read when first asked for. A reload
    // replaces the files it lists: a picture already read stays only when its file vanishes.
    void icons() {
        Catalogue c;
        const QStringList names{"10.png", "11.1.png", "12.1.2.png", "13.1.2.3.png", "14.1.2"};
        for (int i = 0; i < names.size(); ++i)
            c.icon(names[i], 20 + i);
        c.load(entity(10, 0, "Bogling"));
        c.icon(QStringLiteral("11.1.png"), 19);
        QList<int> widths;
        for (const char* triple : {"10.0.0", "11.1.0", "11.1.2", "12.1.2", "13.1.2", "14.1.0"})
            widths
                << c.config.icon(number(triple, 0), number(triple, 1), number(triple, 2)).width();
        QCOMPARE(widths, QList<int>({0, 19, 0, 22, 23, 24}));

        QVERIFY(QFile::remove(c.workspace.filePath(QStringLiteral("icons/11.1.png"))));
        c.icon(QStringLiteral("15.1.png"), 25);
        c.icon(QStringLiteral("12.1.2.png"), 30);
        // A file that is no picture yields the null image, in place of the one read before.
        c.workspace.write(QStringLiteral("icons/13.1.2.3.png"), "not a picture");
        c.load(entity(10, 0, "Bogling"));
        QCOMPARE(c.all(), QStringList({"10.0.0 Bogling"}));
        QCOMPARE(c.config.icon(11, 1, 0).width(), 19);
        QCOMPARE(c.config.icon(15, 1, 0).width(), 25);
        QCOMPARE(c.config.icon(12, 1, 2).width(), 30);
        QVERIFY(c.config.icon(13, 1, 2).isNull());

        // A listing started ahead serves the next load only; the load after it lists again.
        c.config.listIconsAhead();
        QCOMPARE(c.reload(), QString());
        QCOMPARE(c.config.icon(15, 1, 0).width(), 25);
        c.icon(QStringLiteral("16.1.png"), 26);
        QCOMPARE(c.reload(), QString());
        QCOMPARE(c.config.icon(16, 1, 0).width(), 26);
    }
};

QTEST_MAIN(TestEntityConfig)
#include "tst_entityconfig.moc"
