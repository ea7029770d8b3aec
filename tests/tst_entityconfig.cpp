#include "EntityConfig.h"
#include "testsupport.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

const QString EntitiesFile = QStringLiteral("entities2.xml");
const QString BlacklistFile = QStringLiteral("blacklist.txt");
const QString CustomFile = QStringLiteral("entities_custom.txt");

QByteArray entityElement(int type, int variant, int subtype, const QByteArray& name) {
    return QStringLiteral("<entity id=\"%1\" variant=\"%2\" subtype=\"%3\" name=\"%4\"/>")
        .arg(type)
        .arg(variant)
        .arg(subtype)
        .arg(QString::fromUtf8(name))
        .toUtf8();
}

QString describe(const EntityConfig::Entity& entity) {
    return QStringLiteral("%1.%2.%3 %4")
        .arg(entity.type)
        .arg(entity.variant)
        .arg(entity.subtype)
        .arg(QString::fromStdString(entity.name));
}

QStringList describeAll(const std::vector<EntityConfig::Entity>& entities) {
    QStringList result;
    for (const EntityConfig::Entity& entity : entities)
        result << describe(entity);
    return result;
}

QByteArray pngOfWidth(int width) {
    QImage image(width, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A working folder holding whichever of the catalogue's files a test writes.
class CatalogueFolder {
public:
    void entities(const QByteArray& elements) const {
        workspace.write(EntitiesFile, "<entities>\n" + elements + "</entities>\n");
    }
    void file(const QString& name, const QByteArray& contents) const {
        workspace.write(name, contents);
    }
    void icon(const QString& fileName, const QByteArray& contents) const {
        workspace.write(QStringLiteral("icons/") + fileName, contents);
    }
    QString iconsPath() const { return workspace.filePath(QStringLiteral("icons")); }
    QString load(EntityConfig& config) const {
        return config.Load(EntitiesFile, BlacklistFile, CustomFile);
    }

    TestWorkspace workspace;
};

} // namespace

class TestEntityConfig : public QObject {
    Q_OBJECT

private slots:
    void gameEntityTypes_data();
    void gameEntityTypes();
    void entityAttributes();
    void documentWalk_data();
    void documentWalk();
    void entityFileEncodings();
    void blacklist_data();
    void blacklist();
    void customEntities_data();
    void customEntities();
    void customEntriesBypassBlacklistAndTypeRule();
    void warnings_data();
    void warnings();
    void listIsSorted();
    void getEntity_data();
    void getEntity();
    void getEntityVariants();
    void reloadRebuildsList();
    void iconFileNames_data();
    void iconFileNames();
    void iconTableOnReload();
    void iconFolderWithoutFiles_data();
    void iconFolderWithoutFiles();
    void missingIconIsSharedNullImage();
    void garbageFilesLoad();
};

void TestEntityConfig::gameEntityTypes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("kept");
    for (int type : {4, 7, 8, 9, 1000, 0, -3})
        QTest::addRow("type %d dropped", type) << type << false;
    for (int type : {5, 6, 10, 999, 1001})
        QTest::addRow("type %d kept", type) << type << true;
}

void TestEntityConfig::gameEntityTypes() {
    QFETCH(int, type);
    QFETCH(bool, kept);
    CatalogueFolder folder;
    folder.entities(entityElement(type, 2, 1, "Thing"));
    EntityConfig config;
    LogCapture log;
    folder.load(config);

    const QString skipped = QStringLiteral("skipping entity  %1 . 2 . 1").arg(type);
    QCOMPARE(log.count(skipped), kept ? 0 : 1);
    QCOMPARE(describeAll(config.GetAllEntities()),
             kept ? QStringList{QStringLiteral("%1.2.1 Thing").arg(type)} : QStringList());
}

void TestEntityConfig::entityAttributes() {
    CatalogueFolder folder;
    folder.entities("<entity id=\"10\"/>\n"
                    "<entity id=\"11\" variant=\"2\" subtype=\"3\" name=\"Gaunt &amp; &#x47;rim\" "
                    "bossID=\"4\"/>\n"
                    "<entity id=\"12\" name=\"Fl\xc3\xbcgelkr\xc3\xb6te\"/>\n");
    EntityConfig config;
    folder.load(config);

    const std::vector<EntityConfig::Entity>& all = config.GetAllEntities();
    QCOMPARE(describeAll(all),
             QStringList({QStringLiteral("10.0.0 "), QStringLiteral("11.2.3 Gaunt & Grim"),
                          QStringLiteral("12.0.0 Flügelkröte")}));
    QCOMPARE(all[0].bossID, 0);
    QCOMPARE(all[1].bossID, 4);
    QCOMPARE(all[2].name, std::string("Fl\xc3\xbcgelkr\xc3\xb6te"));
}

void TestEntityConfig::documentWalk_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("other element names")
        << QByteArray("<entities><monster id=\"10\"/><entity id=\"11\"/></entities>")
        << QStringList{QStringLiteral("11.0.0 ")};
    QTest::newRow("nested entity")
        << QByteArray("<entities><group><entity id=\"10\"/></group><entity id=\"11\"/></entities>")
        << QStringList{QStringLiteral("11.0.0 ")};
    QTest::newRow("second entities element")
        << QByteArray("<entities><entity id=\"10\"/></entities><entities><entity id=\"11\"/>"
                      "</entities>")
        << QStringList{QStringLiteral("10.0.0 ")};
    QTest::newRow("entities below the top")
        << QByteArray("<game><entities><entity id=\"10\"/></entities></game>") << QStringList();
    QTest::newRow("broken after two entities")
        << QByteArray("<entities><entity id=\"10\"/><entity id=\"11\"/><broken")
        << QStringList{QStringLiteral("10.0.0 "), QStringLiteral("11.0.0 ")};
    QTest::newRow("not xml") << QByteArray("hello, world") << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList();
}

void TestEntityConfig::documentWalk() {
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, expected);
    CatalogueFolder folder;
    folder.file(EntitiesFile, xml);
    folder.file(BlacklistFile, "");
    folder.file(CustomFile, "");
    folder.icon(QStringLiteral("5.1.png"), pngOfWidth(3));
    EntityConfig config;

    QCOMPARE(folder.load(config), QString());
    QCOMPARE(describeAll(config.GetAllEntities()), expected);
}

void TestEntityConfig::entityFileEncodings() {
    CatalogueFolder folder;
    const QString xml = QStringLiteral("\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                       "<entities><entity id=\"10\" name=\"Eisb\u00e4r\"/>"
                                       "</entities>");
    const QString path = QStringLiteral("W\u00fcste/entities2.xml");
    folder.file(path, QByteArray(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2));
    EntityConfig config;

    const QString warnings = config.Load(path, BlacklistFile, CustomFile);
    QVERIFY(!warnings.contains(QStringLiteral("Could not open entities")));
    QCOMPARE(describeAll(config.GetAllEntities()), QStringList{"10.0.0 Eisb\u00e4r"});
    QCOMPARE(config.GetAllEntities()[0].name, std::string("Eisb\xc3\xa4r"));
}

void TestEntityConfig::blacklist_data() {
    QTest::addColumn<QByteArray>("blacklist");
    QTest::addColumn<QStringList>("removed");
    const QString e10 = QStringLiteral("10.0.0");
    const QString e101 = QStringLiteral("10.1.0");
    const QString e12 = QStringLiteral("12.0.0");
    QTest::newRow("one triple") << QByteArray("10,1,0\n") << QStringList{e101};
    QTest::newRow("variant zero") << QByteArray("10,0,0") << QStringList{e10};
    QTest::newRow("two fields") << QByteArray("10,1\n") << QStringList();
    QTest::newRow("four fields") << QByteArray("10,1,0,0\n") << QStringList();
    QTest::newRow("dots") << QByteArray("10.1.0\n") << QStringList();
    QTest::newRow("empty lines") << QByteArray("\n\n\n") << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("blanks and CRLF")
        << QByteArray("  10,1,0 \t\r\n12,0,0") << QStringList{e101, e12};
    QTest::newRow("non-numeric field") << QByteArray("10,1,zz\n") << QStringList{e101};
    QTest::newRow("text after NUL") << QByteArray("10,1,0\0,5,5\n", 12) << QStringList{e101};
    // The first 255 bytes are a line of their own, so each half names one entity.
    QTest::newRow("overlong line") << "10,1,0" + QByteArray(249, ' ') + "12,0,0\n"
                                   << QStringList{e101, e12};
}

void TestEntityConfig::blacklist() {
    QFETCH(QByteArray, blacklist);
    QFETCH(QStringList, removed);
    CatalogueFolder folder;
    folder.entities(entityElement(10, 0, 0, "A") + entityElement(10, 1, 0, "B") +
                    entityElement(10, 1, 1, "C") + entityElement(12, 0, 0, "D"));
    folder.file(BlacklistFile, blacklist);
    EntityConfig config;
    LogCapture log;

    QVERIFY(!folder.load(config).contains(QStringLiteral("blacklist")));
    QStringList expected = {QStringLiteral("10.0.0 A"), QStringLiteral("10.1.0 B"),
                            QStringLiteral("10.1.1 C"), QStringLiteral("12.0.0 D")};
    for (const QString& triple : removed) {
        expected.erase(
            std::remove_if(expected.begin(), expected.end(),
                           [&](const QString& entry) { return entry.startsWith(triple + ' '); }),
            expected.end());
        QCOMPARE(
            log.count(QStringLiteral("skipping entity  ") + QString(triple).replace('.', " . ")),
            1);
    }
    QCOMPARE(describeAll(config.GetAllEntities()), expected);
}

void TestEntityConfig::customEntities_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain") << QByteArray("5,100,0,My Item\n") << QStringList{"5.100.0 My Item"};
    QTest::newRow("type 3") << QByteArray("3,0,0,Low Thing") << QStringList{"3.0.0 Low Thing"};
    QTest::newRow("comma in name") << QByteArray("5,100,0,Item, large\n") << QStringList();
    QTest::newRow("three fields") << QByteArray("5,100,0\n") << QStringList();
    QTest::newRow("inner blanks kept")
        << QByteArray("  5,1,0,  Big   Old Thing  \n") << QStringList{"5.1.0   Big   Old Thing"};
    QTest::newRow("non-ASCII name")
        << QByteArray("5,2,0,Fl\xc3\xbcgelkr\xc3\xb6te\n") << QStringList{"5.2.0 Flügelkröte"};
    QTest::newRow("invalid UTF-8")
        << QByteArray("5,3,0,Bad\xff\xfeName\n") << QStringList{"5.3.0 Bad\ufffd\ufffdName"};
    QTest::newRow("non-numeric fields") << QByteArray("x,y,z,Odd\n") << QStringList{"0.0.0 Odd"};
    QTest::newRow("negative numbers")
        << QByteArray("-5,-1,-2,Negative\n") << QStringList{"-5.-1.-2 Negative"};
    QTest::newRow("text after NUL")
        << QByteArray("5,6,0,Nul\0Tail,x\n", 17) << QStringList{"5.6.0 Nul"};
    QTest::newRow("overlong line") << "5,4,0," + QByteArray(249, 'x') + QByteArray(100, 'y')
                                   << QStringList{"5.4.0 " + QString(249, 'x')};
    QTest::newRow("empty file") << QByteArray() << QStringList();
}

void TestEntityConfig::customEntities() {
    QFETCH(QByteArray, line);
    QFETCH(QStringList, expected);
    CatalogueFolder folder;
    folder.file(CustomFile, line);
    EntityConfig config;

    const QString warnings = folder.load(config);
    QVERIFY(!warnings.contains(QStringLiteral("custom")));
    QCOMPARE(describeAll(config.GetAllEntities()), expected);
    for (const EntityConfig::Entity& entity : config.GetAllEntities())
        QCOMPARE(entity.bossID, -1);
}

void TestEntityConfig::customEntriesBypassBlacklistAndTypeRule() {
    CatalogueFolder folder;
    folder.entities(entityElement(5, 100, 0, "Game Relic") + entityElement(10, 0, 0, "Bogling") +
                    entityElement(7, 0, 0, "Beam"));
    folder.file(BlacklistFile, "5,100,0\n");
    folder.file(CustomFile, "5,100,0,Custom Relic\n7,0,0,Custom Beam\n10,0,0,Second Bogling\n");
    EntityConfig config;
    folder.load(config);

    const QStringList all = describeAll(config.GetAllEntities());
    QCOMPARE(all.mid(0, 2), QStringList({"5.100.0 Custom Relic", "7.0.0 Custom Beam"}));
    // Equal triples keep no defined order.
    QCOMPARE(QSet<QString>(all.begin() + 2, all.end()),
             QSet<QString>({"10.0.0 Bogling", "10.0.0 Second Bogling"}));
    QCOMPARE(all.size(), 4);
    const EntityConfig::Entity* found = config.GetEntity(10, 0, 0);
    QVERIFY(found);
    QVERIFY(all.mid(2).contains(describe(*found)));
}

void TestEntityConfig::warnings_data() {
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QString>("expected");
    const QString blacklist = QStringLiteral("Warning: Could not open blacklist blacklist.txt\n");
    const QString entities =
        QStringLiteral("Warning: Could not open entities entities2.xml!\n"
                       "Please adjust the settings (Tools->Settings...), then try again.\n");
    const QString custom =
        QStringLiteral("Warning: Could not open custom entity config entities_custom.txt\n");
    const QString icons = QStringLiteral("Warning: Could not open icons dir ICONS\n");
    QTest::newRow("nothing missing") << QStringList() << QString();
    QTest::newRow("blacklist") << QStringList{BlacklistFile} << blacklist;
    QTest::newRow("entities") << QStringList{EntitiesFile} << entities;
    QTest::newRow("custom") << QStringList{CustomFile} << custom;
    QTest::newRow("icons") << QStringList{"icons"} << icons;
    QTest::newRow("everything") << QStringList{"icons", CustomFile, EntitiesFile, BlacklistFile}
                                << blacklist + entities + custom + icons;
    // A folder in place of a user list cannot be opened as a file.
    QTest::newRow("blacklist is a folder") << QStringList{"folder " + BlacklistFile} << blacklist;
    QTest::newRow("custom is a folder") << QStringList{"folder " + CustomFile} << custom;
}

void TestEntityConfig::warnings() {
    QFETCH(QStringList, missing);
    QFETCH(QString, expected);
    CatalogueFolder folder;
    auto provide = [&](const QString& name, const QString& path, const QByteArray& contents) {
        if (missing.contains(QStringLiteral("folder ") + name))
            QDir().mkpath(folder.workspace.filePath(name));
        else if (!missing.contains(name))
            folder.file(path, contents);
    };
    provide(EntitiesFile, EntitiesFile, "<entities/>");
    provide(BlacklistFile, BlacklistFile, "");
    provide(CustomFile, CustomFile, "");
    provide(QStringLiteral("icons"), QStringLiteral("icons/5.1.png"), pngOfWidth(3));
    EntityConfig config;

    QCOMPARE(folder.load(config), expected.replace(QStringLiteral("ICONS"), folder.iconsPath()));
    QVERIFY(config.GetAllEntities().empty());
}

void TestEntityConfig::listIsSorted() {
    CatalogueFolder folder;
    folder.entities(entityElement(20, 0, 0, "g") + entityElement(5, 3, 0, "b") +
                    entityElement(5, 1, 2, "a") + entityElement(1001, 0, 0, "h"));
    folder.file(CustomFile, "5,3,-1,c\n20,-4,9,e\n6,0,0,d\n-2,0,0,z\n");
    EntityConfig config;
    folder.load(config);

    QCOMPARE(describeAll(config.GetAllEntities()),
             QStringList({"-2.0.0 z", "5.1.2 a", "5.3.-1 c", "5.3.0 b", "6.0.0 d", "20.-4.9 e",
                          "20.0.0 g", "1001.0.0 h"}));
}

void TestEntityConfig::getEntity_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("subtype");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exact") << 5 << 100 << 2 << "Relic Two";
    QTest::newRow("exact with zeros") << 5 << 0 << 0 << "Base";
    QTest::newRow("subtype falls back") << 5 << 100 << 3 << "Relic";
    QTest::newRow("variant falls back") << 5 << 7 << 3 << "Base";
    QTest::newRow("variant falls back, subtype 0") << 5 << 7 << 0 << "Base";
    QTest::newRow("subtype of variant 0") << 5 << 0 << 4 << "Base";
    QTest::newRow("negative subtype skips one step") << 7 << 3 << -1 << "Seven";
    QTest::newRow("negative variant tries itself only") << 7 << -2 << 0 << QString();
    QTest::newRow("absent type") << 6 << 0 << 0 << QString();
    QTest::newRow("absent type with fallbacks") << 6 << 100 << 2 << QString();
    QTest::newRow("before the first entry") << -1 << 0 << 0 << QString();
    QTest::newRow("after the last entry") << 900 << 1 << 1 << QString();
}

void TestEntityConfig::getEntity() {
    QFETCH(int, type);
    QFETCH(int, variant);
    QFETCH(int, subtype);
    QFETCH(QString, expected);
    CatalogueFolder folder;
    folder.file(CustomFile,
                "5,100,0,Relic\n5,0,0,Base\n5,100,2,Relic Two\n7,3,0,Seven Three\n7,0,0,Seven\n");
    EntityConfig config;
    folder.load(config);

    const EntityConfig::Entity* found = config.GetEntity(type, variant, subtype);
    if (expected.isNull()) {
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QCOMPARE(QString::fromStdString(found->name), expected);
    const std::vector<EntityConfig::Entity>& all = config.GetAllEntities();
    QVERIFY(found >= all.data() && found < all.data() + all.size());
}

void TestEntityConfig::getEntityVariants() {
    CatalogueFolder folder;
    folder.file(CustomFile, "7,1,0,g\n5,2,0,c\n5,0,0,a\n6,0,0,d\n5,1,0,b\n5,1,-1,ab\n");
    EntityConfig config;
    folder.load(config);

    QCOMPARE(describeAll(config.GetEntityVariants(5)),
             QStringList({"5.0.0 a", "5.1.-1 ab", "5.1.0 b", "5.2.0 c"}));
    QCOMPARE(describeAll(config.GetEntityVariants(7)), QStringList{"7.1.0 g"});
    QVERIFY(config.GetEntityVariants(4).empty());
    QVERIFY(config.GetEntityVariants(8).empty());
}

void TestEntityConfig::reloadRebuildsList() {
    CatalogueFolder folder;
    folder.entities(entityElement(10, 0, 0, "Bogling") + entityElement(5, 20, 1, "Glim"));
    folder.file(CustomFile, "5,100,0,Relic\n");
    EntityConfig config;
    folder.load(config);
    const QStringList first = describeAll(config.GetAllEntities());
    folder.load(config);
    QCOMPARE(describeAll(config.GetAllEntities()), first);

    QVERIFY(QFile::remove(folder.workspace.filePath(CustomFile)));
    folder.load(config);
    QCOMPARE(describeAll(config.GetAllEntities()), QStringList({"5.20.1 Glim", "10.0.0 Bogling"}));
}

void TestEntityConfig::iconFileNames_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("subtype");
    QTest::addColumn<bool>("found");
    QTest::newRow("two parts") << "10.png" << 10 << 0 << 0 << false;
    QTest::newRow("type.variant") << "10.1.png" << 10 << 1 << 0 << true;
    QTest::newRow("type.variant.subtype") << "10.1.2.png" << 10 << 1 << 2 << true;
    QTest::newRow("extra part") << "10.1.2.3.png" << 10 << 1 << 2 << true;
    QTest::newRow("empty variant") << "10..png" << 10 << 0 << 0 << true;
    QTest::newRow("no extension") << "10.1.2" << 10 << 1 << 0 << true;
    QTest::newRow("not a number") << "rock.1.png" << 0 << 1 << 0 << true;
    QTest::newRow("negative") << "-4.2.png" << -4 << 2 << 0 << true;
    QTest::newRow("format from contents") << "10.3.picture" << 10 << 3 << 0 << true;
    QTest::newRow("hidden file") << ".10.1.png" << 0 << 10 << 1 << false;
}

void TestEntityConfig::iconFileNames() {
    QFETCH(QString, fileName);
    QFETCH(int, type);
    QFETCH(int, variant);
    QFETCH(int, subtype);
    QFETCH(bool, found);
    CatalogueFolder folder;
    folder.icon(fileName, pngOfWidth(17));
    folder.icon(QStringLiteral("900.9.png"), pngOfWidth(3));
    EntityConfig config;

    QVERIFY(!folder.load(config).contains(QStringLiteral("icons")));
    QCOMPARE(config.icon(type, variant, subtype).width(), found ? 17 : 0);
    QCOMPARE(config.icon(900, 9, 0).width(), 3);
}

void TestEntityConfig::iconTableOnReload() {
    CatalogueFolder folder;
    folder.icon(QStringLiteral("5.1.png"), pngOfWidth(17));
    folder.icon(QStringLiteral("6.1.png"), pngOfWidth(19));
    EntityConfig config;
    folder.load(config);
    QCOMPARE(config.icon(5, 1, 0).width(), 17);

    // An unreadable picture replaces the old one; a vanished file leaves its picture behind.
    folder.icon(QStringLiteral("5.1.png"), "not an image");
    QVERIFY(QFile::remove(folder.iconsPath() + QStringLiteral("/6.1.png")));
    folder.icon(QStringLiteral("7.1.png"), pngOfWidth(23));
    folder.load(config);
    QVERIFY(config.icon(5, 1, 0).isNull());
    QCOMPARE(config.icon(6, 1, 0).width(), 19);
    QCOMPARE(config.icon(7, 1, 0).width(), 23);
}

void TestEntityConfig::iconFolderWithoutFiles_data() {
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<QString>("hiddenFile");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("subfolder only") << QStringLiteral("10.1.png") << QString();
    QTest::newRow("hidden file only") << QString() << QStringLiteral(".10.1.png");
}

void TestEntityConfig::iconFolderWithoutFiles() {
    QFETCH(QString, subfolder);
    QFETCH(QString, hiddenFile);
    CatalogueFolder folder;
    QDir().mkpath(folder.iconsPath() + QLatin1Char('/') + subfolder);
    if (!hiddenFile.isEmpty())
        folder.icon(hiddenFile, pngOfWidth(17));
    folder.file(BlacklistFile, "");
    folder.file(CustomFile, "");
    folder.entities("");
    EntityConfig config;

    QCOMPARE(folder.load(config),
             QStringLiteral("Warning: No icons found in %1\n").arg(folder.iconsPath()));
    QVERIFY(config.icon(10, 1, 0).isNull());
}

void TestEntityConfig::missingIconIsSharedNullImage() {
    CatalogueFolder folder;
    folder.icon(QStringLiteral("10.1.png"), pngOfWidth(17));
    EntityConfig config;
    folder.load(config);

    QImage& noFile = config.icon(1, 2, 3);
    QVERIFY(noFile.isNull());
    QCOMPARE(&config.icon(4, 5, 6), &noFile);
    // No fallback to the variant's picture.
    QCOMPARE(&config.icon(10, 1, 2), &noFile);
    QVERIFY(&config.icon(10, 1, 0) != &noFile);
}

void TestEntityConfig::garbageFilesLoad() {
    CatalogueFolder folder;
    QRandomGenerator random(20240611);
    const QByteArray alphabet("0123456789,-.\n\r \xc3\xbc\xff<>=\"/entity id");
    auto garbage = [&] {
        QByteArray bytes;
        const int length = random.bounded(600);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[random.bounded(alphabet.size())];
        return bytes;
    };
    EntityConfig config;
    for (int round = 0; round < 200; ++round) {
        folder.file(EntitiesFile, "<entities>" + garbage());
        folder.file(BlacklistFile, garbage());
        folder.file(CustomFile, garbage());
        folder.icon(QString::number(round % 7) + QStringLiteral(".1.png"), garbage());
        QCOMPARE(folder.load(config), QString());
        const std::vector<EntityConfig::Entity>& all = config.GetAllEntities();
        QVERIFY(std::is_sorted(all.begin(), all.end(), EntityConfig::EntityCompare));
    }
}

QTEST_MAIN(TestEntityConfig)
#include "tst_entityconfig.moc"
