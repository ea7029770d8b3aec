#include "EntityConfig.h"
#include "testsupport.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray entity(int type, int variant, int subtype, const char* name) {
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

// A working folder for one catalogue. load() writes the three files it is given, leaving out
// any that is null.
struct Catalogue {
    TestWorkspace workspace;
    EntityConfig config;

    QString iconsPath() const { return workspace.filePath(QStringLiteral("icons")); }
    void icon(const QString& fileName, const QByteArray& contents) const {
        workspace.write(QStringLiteral("icons/") + fileName, contents);
    }
    void icon(const QString& fileName, int width) const {
        QImage image(width, 8, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(QDir().mkpath(iconsPath()) && image.save(iconsPath() + '/' + fileName, "PNG"));
    }
    QString load(const QByteArray& entities, const QByteArray& blacklist = "",
                 const QByteArray& custom = "") {
        if (!entities.isNull())
            workspace.write(QStringLiteral("entities2.xml"),
                            "<entities>" + entities + "</entities>");
        if (!blacklist.isNull())
            workspace.write(QStringLiteral("blacklist.txt"), blacklist);
        if (!custom.isNull())
            workspace.write(QStringLiteral("entities_custom.txt"), custom);
        return config.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                           QStringLiteral("entities_custom.txt"));
    }
    QStringList all() { return describe(config.GetAllEntities()); }
};

} // namespace

class TestEntityConfig : public QObject {
    Q_OBJECT

private slots:
    void gameEntityFilter_data();
    void gameEntityFilter();
    void customEntities();
    void warnings();
    void sortedListAndVariants();
    void getEntity_data();
    void getEntity();
    void iconFileNames_data();
    void iconFileNames();
    void reloadKeepsIconTable();
    void garbageFilesLoad();
};

void TestEntityConfig::gameEntityFilter_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("blacklist");
    QTest::addColumn<bool>("kept");
    for (int type : {4, 7, 8, 9, 1000, 0, -3})
        QTest::addRow("type %d", type) << type << QByteArray("") << false;
    for (int type : {5, 6, 10, 999, 1001})
        QTest::addRow("type %d", type) << type << QByteArray("") << true;
    // Only a line of exactly three numbers names a blacklisted triple.
    QTest::newRow("blacklisted") << 10 << QByteArray("12,0,0\r\n  10,1,0 \t\r\n") << false;
    QTest::newRow("other subtype") << 10 << QByteArray("10,1,1\n") << true;
    QTest::newRow("two fields") << 10 << QByteArray("10,1\n") << true;
    QTest::newRow("four fields") << 10 << QByteArray("10,1,0,0\n") << true;
    // The first 255 bytes of a line are a line of their own.
    QTest::newRow("overlong line") << 10 << "10,1,0" + QByteArray(249, ' ') + "12,0,0\n" << false;
}

void TestEntityConfig::gameEntityFilter() {
    QFETCH(int, type);
    QFETCH(QByteArray, blacklist);
    QFETCH(bool, kept);
    Catalogue c;
    LogCapture log;
    c.load(entity(type, 1, 0, "A &amp; B"), blacklist);

    QCOMPARE(log.count(QStringLiteral("skipping entity  %1 . 1 . 0").arg(type)), kept ? 0 : 1);
    QCOMPARE(c.all(), kept ? QStringList{QStringLiteral("%1.1.0 A & B").arg(type)} : QStringList());
}

// Custom lines of four fields bypass the blacklist and the type rule; the game's entities stay.
void TestEntityConfig::customEntities() {
    Catalogue c;
    c.load(entity(5, 100, 0, "Game Relic") + entity(7, 0, 0, "Beam") + entity(10, 0, 0, "Bogling"),
           "5,100,0\n",
           "5,100,0,Relic\n7,0,0,Beam\n3,0,0,Low\n5,1,0,Item, large\n5,1,1\n"
           "  5,2,0,  Big   Thing  \r\n5,3,0,Fl\xc3\xbcgel\n10,0,0,Second Bogling\n");

    const QStringList all = c.all();
    QCOMPARE(all.size(), 7);
    QCOMPARE(all.mid(0, 5), QStringList({"3.0.0 Low", "5.2.0   Big   Thing", "5.3.0 Fl\u00fcgel",
                                         "5.100.0 Relic", "7.0.0 Beam"}));
    // Equal triples keep no defined order.
    QCOMPARE(QSet<QString>(all.begin() + 5, all.end()),
             QSet<QString>({"10.0.0 Bogling", "10.0.0 Second Bogling"}));
}

void TestEntityConfig::warnings() {
    Catalogue c;
    QCOMPARE(c.load(QByteArray(), QByteArray(), QByteArray()),
             "Warning: Could not open blacklist blacklist.txt\n"
             "Warning: Could not open entities entities2.xml!\n"
             "Please adjust the settings (Tools->Settings...), then try again.\n"
             "Warning: Could not open custom entity config entities_custom.txt\n"
             "Warning: Could not open icons dir " +
                 c.iconsPath() + '\n');
    QVERIFY(QDir().mkpath(c.iconsPath()));
    QCOMPARE(c.load(""), QStringLiteral("Warning: No icons found in %1\n").arg(c.iconsPath()));
    c.icon(QStringLiteral("5.1.png"), 3);
    QCOMPARE(c.load(""), QString());
    // A folder where the entity file belongs is no entity file either.
    QVERIFY(QFile::remove("entities2.xml") && QDir().mkdir("entities2.xml"));
    QVERIFY(c.load(QByteArray()).startsWith("Warning: Could not open entities entities2.xml!\n"));
}

void TestEntityConfig::sortedListAndVariants() {
    Catalogue c;
    c.load(entity(20, 0, 0, "g") + entity(5, 3, 0, "b") + entity(5, 1, 2, "a") +
               entity(1001, 0, 0, "h"),
           "", "5,3,-1,c\n20,-4,9,e\n6,0,0,d\n-2,0,0,z\n");
    QCOMPARE(c.all(), QStringList({"-2.0.0 z", "5.1.2 a", "5.3.-1 c", "5.3.0 b", "6.0.0 d",
                                   "20.-4.9 e", "20.0.0 g", "1001.0.0 h"}));
    QCOMPARE(describe(c.config.GetEntityVariants(5)),
             QStringList({"5.1.2 a", "5.3.-1 c", "5.3.0 b"}));
    QCOMPARE(describe(c.config.GetEntityVariants(20)), QStringList({"20.-4.9 e", "20.0.0 g"}));
    QVERIFY(c.config.GetEntityVariants(7).empty());
}

void TestEntityConfig::getEntity_data() {
    QTest::addColumn<QString>("triple");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* triple, const char* expected) {
        QTest::newRow(name) << QString(triple) << QString(expected);
    };
    row("exact", "5.100.2", "Relic Two");
    row("subtype falls back", "5.100.3", "Relic");
    row("variant falls back", "5.7.3", "Base");
    row("negative subtype skips a step", "7.3.-1", "Seven");
    row("negative variant tries itself only", "7.-2.0", nullptr);
    row("absent type", "6.100.2", nullptr);
    row("before the first entry", "-1.0.0", nullptr);
    row("after the last entry", "900.1.1", nullptr);
}

void TestEntityConfig::getEntity() {
    QFETCH(QString, triple);
    QFETCH(QString, expected);
    Catalogue c;
    c.load("", "",
           "5,100,0,Relic\n5,0,0,Base\n5,100,2,Relic Two\n7,3,0,Seven Three\n7,0,0,Seven\n");

    const EntityConfig::Entity* found =
        c.config.GetEntity(number(triple, 0), number(triple, 1), number(triple, 2));
    QCOMPARE(found ? QString::fromStdString(found->name) : QString(), expected);
    const std::vector<EntityConfig::Entity>& all = c.config.GetAllEntities();
    QVERIFY(!found || (found >= all.data() && found < all.data() + all.size()));
}

void TestEntityConfig::iconFileNames_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("triple");
    QTest::addColumn<bool>("found");
    const auto row = [](const char* fileName, const char* triple, bool found) {
        QTest::addRow("%s as %s", fileName, triple)
            << QString(fileName) << QString(triple) << found;
    };
    row("10.png", "10.0.0", false);
    row("10.1.png", "10.1.0", true);
    row("10.1.2.png", "10.1.2", true);
    row("10.1.2.3.png", "10.1.2", true);
    row("10..png", "10.0.0", true);
    row("10.1.2", "10.1.0", true);
    row("10.1.png", "10.1.2", false); // no fallback to the variant's picture
}

void TestEntityConfig::iconFileNames() {
    QFETCH(QString, fileName);
    QFETCH(QString, triple);
    QFETCH(bool, found);
    Catalogue c;
    c.icon(fileName, 17);
    c.load("");
    QImage& image = c.config.icon(number(triple, 0), number(triple, 1), number(triple, 2));
    QCOMPARE(image.width(), found ? 17 : 0);
    // Every entity without a picture gets the same null image.
    QCOMPARE(&image == &c.config.icon(1, 2, 3), !found);
}

// Icons are read when first asked for, so a file changed after the load counts as it is then.
// Reloading rebuilds the list but only adds to the icon table: an unreadable picture replaces
// the old one for good, a vanished file leaves a picture already read behind.
void TestEntityConfig::reloadKeepsIconTable() {
    Catalogue c;
    c.icon(QStringLiteral("5.1.png"), 17);
    c.icon(QStringLiteral("6.1.png"), 19);
    c.icon(QStringLiteral("8.1.png"), 29);
    c.load(entity(10, 0, 0, "Bogling"), "", "5,1,0,Relic\n");
    c.icon(QStringLiteral("8.1.png"), 31);
    QCOMPARE(c.config.icon(8, 1, 0).width(), 31);
    QCOMPARE(c.config.icon(5, 1, 0).width(), 17);
    QCOMPARE(c.config.icon(6, 1, 0).width(), 19);

    c.icon(QStringLiteral("5.1.png"), "not an image");
    QVERIFY(QFile::remove(c.iconsPath() + QStringLiteral("/6.1.png")));
    c.icon(QStringLiteral("7.1.png"), 23);
    c.load(entity(10, 0, 0, "Bogling"), "", "5,1,0,Relic\n");
    QCOMPARE(c.all(), QStringList({"5.1.0 Relic", "10.0.0 Bogling"}));
    QVERIFY(c.config.icon(5, 1, 0).isNull());
    c.icon(QStringLiteral("5.1.png"), 17);
    QVERIFY(c.config.icon(5, 1, 0).isNull());
    QCOMPARE(c.config.icon(6, 1, 0).width(), 19);
    QCOMPARE(c.config.icon(7, 1, 0).width(), 23);
}

void TestEntityConfig::garbageFilesLoad() {
    Catalogue c;
    QRandomGenerator random(20240611);
    const QByteArray alphabet("0123456789,-.\n\r \xc3\xbc\xff<>=\"/entity id");
    const auto garbage = [&] {
        QByteArray bytes(""); // never null, so load() always writes the file
        for (int i = random.bounded(600); i > 0; --i)
            bytes += alphabet[random.bounded(alphabet.size())];
        return bytes;
    };
    for (int round = 0; round < 200; ++round) {
        c.icon(QString::number(round % 7) + QStringLiteral(".1.png"), garbage());
        QCOMPARE(c.load(garbage(), garbage(), garbage()), QString());
    }
}

QTEST_MAIN(TestEntityConfig)
#include "tst_entityconfig.moc"
