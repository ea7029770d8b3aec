#include "EntityConfig.h"

#include "editorsettings.h"
#include "main.h"
#include "xmlattributes.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>

#include <dirent.h>

EntityConfig g_EntityConfig;

namespace {

// Handed out by EntityConfig::icon for entities without a picture; callers must not modify it.
QImage NullImage;

// Key of an entity in the blacklist and the icon table: the hash of its text
// "type.variant.subtype". Only ever compared in memory, so two triples whose texts collide simply
// share a key. It is worked out for every catalogue entry, icon file and drawn cell, so the text is
// written on the stack; hashed as Latin-1 it gives what it gives as a QString.
uint ENTITYID(int type, int variant, int subtype) {
    constexpr int longestNumber = 11; // -2147483648
    char text[3 * (longestNumber + 1)];
    char* end = std::to_chars(text, text + longestNumber, type).ptr;
    *end++ = '.';
    end = std::to_chars(end, end + longestNumber, variant).ptr;
    *end++ = '.';
    end = std::to_chars(end, end + longestNumber, subtype).ptr;
    return qHash(QLatin1String(text, int(end - text)), 0);
}

// The comma-separated fields of each line of a user list (blacklist, custom entities). Lines
// come in pieces of at most 255 bytes, so an overlong line counts as several lines.
bool readFieldLines(const QString& path, QList<QStringList>& lines) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    char piece[256];
    while (file.readLine(piece, sizeof(piece)) > 0)
        lines << QString::fromUtf8(piece).trimmed().split(QLatin1Char(','));
    return true;
}

int fieldNumber(const QString& field) {
    return field.toInt(nullptr, 10);
}

// The game's own bookkeeping entities (player, projectiles, effects and the like) cannot be
// placed in a room, so they never reach the catalogue.
bool isPlaceableGameType(int type) {
    return type > 4 && type != 1000 && (type < 7 || type > 9);
}

QSet<uint> readBlacklist(const QString& path, QString& warnings) {
    QSet<uint> blacklist;
    QList<QStringList> lines;
    if (!readFieldLines(path, lines))
        warnings += QStringLiteral("Warning: Could not open blacklist %1\n").arg(path);
    for (const QStringList& fields : qAsConst(lines)) {
        if (fields.size() == 3)
            blacklist.insert(
                ENTITYID(fieldNumber(fields[0]), fieldNumber(fields[1]), fieldNumber(fields[2])));
    }
    return blacklist;
}

void appendGameEntities(std::vector<EntityConfig::Entity>& entities, const QString& path,
                        const QSet<uint>& blacklist, QString& warnings) {
    // A folder in its place is no entity file either (and pugixml would take it for a huge one).
    if (!QFileInfo(path).isFile()) {
        warnings += QStringLiteral("Warning: Could not open entities %1!\n").arg(path);
        warnings +=
            QStringLiteral("Please adjust the settings (Tools->Settings...), then try again.\n");
        return;
    }
    // A broken file still yields whatever the parser read before the error, and the entities
    // found there are worth having.
    pugi::xml_document doc;
    doc.load_file(path.toUtf8().constData());
    const pugi::xml_node list = doc.child("entities");
    static const char* const names[] = {"id", "variant", "subtype", "name", "bossID"};
    for (pugi::xml_node node = list.child("entity"); node; node = node.next_sibling("entity")) {
        const Attributes<5> attributes(node, names);
        EntityConfig::Entity entity;
        entity.type = attributes.found[0].as_int();
        entity.variant = attributes.found[1].as_int();
        entity.subtype = attributes.found[2].as_int();
        entity.name = attributes.found[3].value();
        entity.bossID = attributes.found[4].as_int();
        const bool blacklisted =
            !blacklist.isEmpty() &&
            blacklist.contains(ENTITYID(entity.type, entity.variant, entity.subtype));
        if (!blacklisted && isPlaceableGameType(entity.type)) {
            entities.push_back(std::move(entity));
        } else {
            qDebug() << "skipping entity " << entity.type << "." << entity.variant << "."
                     << entity.subtype;
        }
    }
}

// The user's own entities: neither the blacklist nor the type rule applies to them.
void appendCustomEntities(std::vector<EntityConfig::Entity>& entities, const QString& path,
                          QString& warnings) {
    QList<QStringList> lines;
    if (!readFieldLines(path, lines))
        warnings += QStringLiteral("Warning: Could not open custom entity config %1\n").arg(path);
    for (const QStringList& fields : qAsConst(lines)) {
        if (fields.size() != 4)
            continue;
        EntityConfig::Entity entity;
        entity.type = fieldNumber(fields[0]);
        entity.variant = fieldNumber(fields[1]);
        entity.subtype = fieldNumber(fields[2]);
        entity.name = fields[3].toStdString();
        entities.push_back(std::move(entity));
    }
}

// The number a part of an icon file name stands for, as QString::toInt reads it. Plain digits,
// what nearly every name holds, are read here: thousands of names are read at each load.
int iconNamePart(QStringView part) {
    if (part.isEmpty() || part.size() > 9)
        return part.toInt(nullptr, 10);
    int value = 0;
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return part.toInt(nullptr, 10);
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// The names of the files in an icon folder, hidden ones left out. Catalogues bring thousands of
// icons, so the entry types the folder listing already holds decide, and only links and entries
// of unknown type cost a status call.
QStringList iconFileNames(const QString& folder) {
    QStringList names;
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        const bool file =
            entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        QFileInfo(folder + QLatin1Char('/') + name).isFile());
        if (file)
            names << name;
    }
    closedir(dir);
    return names;
}

} // namespace

bool EntityConfig::EntityCompare(const Entity& a, const Entity& b) {
    if (a.type != b.type)
        return a.type < b.type;
    if (a.variant != b.variant)
        return a.variant < b.variant;
    return a.subtype < b.subtype;
}

EntityConfig::EntityConfig() = default;

EntityConfig::~EntityConfig() = default;

EntityConfig& EntityConfig::operator=(EntityConfig&&) = default;

QString EntityConfig::Load(const QString& entitiesPath, const QString& blacklistPath,
                           const QString& customPath) {
    QString warnings;
    const QSet<uint> blacklist = readBlacklist(blacklistPath, warnings);
    entities.clear();
    appendGameEntities(entities, entitiesPath, blacklist, warnings);
    appendCustomEntities(entities, customPath, warnings);
    // Entity files are nearly always written in order, and sorting a list that is strictly in
    // order would only move every entry about.
    const auto outOfOrder =
        std::adjacent_find(entities.begin(), entities.end(),
                           [](const Entity& a, const Entity& b) { return !EntityCompare(a, b); });
    if (outOfOrder != entities.end())
        std::sort(entities.begin(), entities.end(), EntityCompare);
    indexEntities();
    loadIcons(warnings);
    return warnings;
}

void EntityConfig::listIconsAhead() {
    takeIconListing();
    aheadFolder = QDir(g_prefix + QStringLiteral("icons")).absolutePath();
    startIconListing(aheadFolder);
}

void EntityConfig::loadIcons(QString& warnings) {
    const QDir folder(g_prefix + QStringLiteral("icons"));
    // A listing started ahead of this load for its folder is this load's own. Any other one still
    // pending is an earlier load's: its names go in first, so that this load's replace them.
    const bool listedAhead = aheadFolder == folder.absolutePath();
    aheadFolder.clear();
    if (!listedAhead)
        takeIconListing();
    if (!folder.exists()) {
        warnings +=
            QStringLiteral("Warning: Could not open icons dir %1\n").arg(folder.absolutePath());
        return;
    }
    if (!QDirIterator(folder.path(), QDir::Files).hasNext()) {
        warnings += QStringLiteral("Warning: No icons found in %1\n").arg(folder.absolutePath());
        return;
    }
    if (!listedAhead)
        startIconListing(folder.absolutePath());
}

void EntityConfig::startIconListing(const QString& folder) {
    pendingListing = std::async(std::launch::async, [folder] {
        QMap<int, Icon> listed;
        for (const QString& fileName : iconFileNames(folder)) {
            // type.variant.extension or type.variant.subtype.extension
            const int first = fileName.indexOf(QLatin1Char('.'));
            const int second = first < 0 ? -1 : fileName.indexOf(QLatin1Char('.'), first + 1);
            if (second < 0)
                continue;
            const int third = fileName.indexOf(QLatin1Char('.'), second + 1);
            const int type = iconNamePart(QStringView(fileName).mid(0, first));
            const int variant =
                iconNamePart(QStringView(fileName).mid(first + 1, second - first - 1));
            const int subtype =
                third < 0 ? 0
                          : iconNamePart(QStringView(fileName).mid(second + 1, third - second - 1));
            // Of two files for one entity, the one listed later wins.
            listed.insert(int(ENTITYID(type, variant, subtype)), Icon{folder, fileName, {}});
        }
        return listed;
    });
}

void EntityConfig::takeIconListing() {
    if (!pendingListing.valid())
        return;
    QMap<int, Icon> listed = pendingListing.get();
    // An entity whose file is gone keeps its older picture, while a listed file that is no image
    // still takes the key, so it hides an older picture rather than leaving a stale one on screen.
    for (auto icon = icons.cbegin(); icon != icons.cend(); ++icon)
        if (!listed.contains(icon.key()))
            listed.insert(icon.key(), icon.value());
    icons.swap(listed);
}

namespace {

// The numbers of an entity as one key, which tells entities apart when their variants and
// subtypes lie between 0 and 65535.
quint64 entityKey(int type, int variant, int subtype) {
    return (quint64(quint32(type)) << 32) | (quint64(quint16(variant)) << 16) | quint16(subtype);
}

bool fitsKey(const EntityConfig::Entity& entity) {
    return entity.variant >= 0 && entity.variant <= 0xFFFF && entity.subtype >= 0 &&
           entity.subtype <= 0xFFFF;
}

} // namespace

// The first of entities with the same numbers keeps the key, as a search of the sorted list
// would find it.
void EntityConfig::indexEntities() {
    positions.clear();
    positions.reserve(int(entities.size()));
    keysCollide = false;
    for (size_t i = 0; i < entities.size(); ++i) {
        const Entity& entity = entities[i];
        keysCollide = keysCollide || !fitsKey(entity);
        const quint64 key = entityKey(entity.type, entity.variant, entity.subtype);
        if (!positions.contains(key))
            positions.insert(key, int(i));
    }
}

const EntityConfig::Entity* EntityConfig::exactEntity(int type, int variant, int subtype) const {
    const auto position = positions.constFind(entityKey(type, variant, subtype));
    if (position != positions.constEnd()) {
        const Entity& entity = entities[size_t(*position)];
        if (entity.type == type && entity.variant == variant && entity.subtype == subtype)
            return &entity;
    }
    if (!keysCollide)
        return nullptr;
    Entity key;
    key.type = type;
    key.variant = variant;
    key.subtype = subtype;
    const auto found = std::lower_bound(entities.begin(), entities.end(), key, EntityCompare);
    return found != entities.end() && !EntityCompare(key, *found) ? &*found : nullptr;
}

const EntityConfig::Entity* EntityConfig::GetEntity(int type, int variant, int subtype) const {
    if (const Entity* entity = exactEntity(type, variant, subtype))
        return entity;
    if (subtype > 0)
        return GetEntity(type, variant, 0);
    if (variant > 0)
        return GetEntity(type, 0, 0);
    return nullptr;
}

std::vector<EntityConfig::Entity> EntityConfig::GetEntityVariants(int type) const {
    std::vector<Entity> variants;
    for (const Entity& entity : entities) {
        if (entity.type > type)
            break;
        if (entity.type == type)
            variants.push_back(entity);
    }
    return variants;
}

std::vector<EntityConfig::Entity>& EntityConfig::GetAllEntities() {
    return entities;
}

QImage& EntityConfig::icon(int type, int variant, int subtype) {
    takeIconListing();
    const auto found = icons.find(int(ENTITYID(type, variant, subtype)));
    if (found == icons.end())
        return NullImage;
    Icon& icon = *found;
    if (!icon.pendingFile.isEmpty()) {
        // A file that does not decode is kept as a null image, so it is read only once.
        // Kept premultiplied, the form the painter blends: drawing a cell then converts nothing.
        icon.image = QImage(icon.folder + QLatin1Char('/') + icon.pendingFile)
                         .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        icon.folder.clear();
        icon.pendingFile.clear();
    }
    return icon.image;
}

QColor entityGroundColour(int type) {
    if (type == 5 || type == 6)
        return Qt::darkGreen;
    if (type == 0 || type > 999)
        return QColor();
    return Qt::darkRed;
}

QString loadEditorEntityFiles(EntityConfig& catalogue) {
    return catalogue.Load(resourcesFolder().path + QStringLiteral("/entities2.xml"),
                          g_prefix + QStringLiteral("blacklist.txt"),
                          g_prefix + QStringLiteral("entities_custom.txt"));
}
