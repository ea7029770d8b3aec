#pragma once

#include <QHash>
#include <QImage>
#include <QMap>
#include <QString>

#include <future>
#include <string>
#include <vector>

// The catalogue of entities that rooms may spawn: the game's entity file less the user's
// blacklist, plus the user's custom entities, sorted by (type, variant, subtype), with icons.
class EntityConfig {
public:
    struct Entity {
        int type = 0;
        int variant = 0;
        int subtype = 0;
        int bossID = -1;
        std::string name;
    };

    static bool EntityCompare(const Entity& a, const Entity& b);

    EntityConfig();
    ~EntityConfig();
    // Waits for a pending icon listing of the catalogue it replaces.
    EntityConfig& operator=(EntityConfig&&);

    // Rebuilds the catalogue and loads the icons; returns the warnings, empty when none.
    QString Load(const QString& entitiesPath, const QString& blacklistPath,
                 const QString& customPath);

    // Exact match, else (type, variant, 0), else (type, 0, 0); null when none matches.
    const Entity* GetEntity(int type, int variant, int subtype) const;
    std::vector<Entity> GetEntityVariants(int type) const;
    std::vector<Entity>& GetAllEntities();

    // Starts listing the icon folder of the editor's working folder for the next Load, so that
    // the listing overlaps whatever comes before that Load (the window's stage load).
    void listIconsAhead();

    // The icon of exactly this triple, or a null image. Its file is decoded on the first
    // request after the Load that listed it; the reference stays valid until the next Load.
    QImage& icon(int type, int variant, int subtype);

private:
    // An icon file listed by a Load, read the first time the icon is asked for: a start-up then
    // decodes only the icons on screen, however large the catalogue.
    struct Icon {
        // The folder and name of the file still to decode; both empty once decoded.
        QString folder;
        QString pendingFile;
        QImage image;
    };

    // Indexes the entities by their numbers, for GetEntity.
    void indexEntities();
    // The first entity with exactly these numbers, or null.
    const Entity* exactEntity(int type, int variant, int subtype) const;
    void loadIcons(QString& warnings);
    void startIconListing(const QString& folder);
    void takeIconListing();

    std::vector<Entity> entities;
    // Positions in entities by entityKey: rooms are checked and painted by looking up their
    // entities one by one, faster through a hash than by searching the sorted list.
    QHash<quint64, int> positions;
    // Some entity has a variant or subtype that its key cannot hold, so keys may collide.
    bool keysCollide = false;
    QMap<int, Icon> icons;
    // A large icon folder takes a while to list, so a load lists it on a thread of its own while
    // the window is being built; the first icon request, or the next load, takes the files in.
    std::future<QMap<int, Icon>> pendingListing;
    // The folder of a listing started by listIconsAhead that no Load has taken yet.
    QString aheadFolder;
};

extern EntityConfig g_EntityConfig;

// The ground an entity of this type is drawn on, in its canvas cell and its strip slot: green
// for the two kinds of pickup types, red for the other game types 1 to 999; invalid for the
// types without a ground of their own (0 and the editor's markers above 999).
QColor entityGroundColour(int type);

// Loads the catalogue from the editor's files: entities2.xml in the resources folder of the
// settings, blacklist.txt and entities_custom.txt in the editor's working folder. Returns the
// warnings.
QString loadEditorEntityFiles(EntityConfig& catalogue);
