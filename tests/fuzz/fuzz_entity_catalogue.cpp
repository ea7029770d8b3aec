// The entity catalogue on arbitrary files: the input holds the entity file, the blacklist and
// the custom list, separated by lines "%%". Whatever loads is sorted, and every entity is
// found again by its own triple.
#include "fuzzsupport.h"

#include "EntityConfig.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder = fuzzWorkspace() + QLatin1Char('/');
    static const QString paths[] = {folder + QStringLiteral("entities2.xml"),
                                    folder + QStringLiteral("blacklist.txt"),
                                    folder + QStringLiteral("entities_custom.txt")};
    QByteArray files[3];
    int file = 0;
    for (const QByteArray& line : fuzzInput(data, size).split('\n')) {
        if (line == "%%" && file < 2)
            ++file;
        else
            files[file] += line + '\n';
    }
    for (int i = 0; i < 3; ++i)
        writeFile(paths[i], files[i]);

    EntityConfig catalogue;
    catalogue.Load(paths[0], paths[1], paths[2]);
    const std::vector<EntityConfig::Entity>& entities = catalogue.GetAllEntities();
    require(std::is_sorted(entities.begin(), entities.end(), EntityConfig::EntityCompare),
            "the catalogue is sorted");
    for (const EntityConfig::Entity& entity : entities) {
        const EntityConfig::Entity* found =
            catalogue.GetEntity(entity.type, entity.variant, entity.subtype);
        require(found && !EntityConfig::EntityCompare(*found, entity) &&
                    !EntityConfig::EntityCompare(entity, *found),
                "every entity is found by its triple");
    }
    return 0;
}
