#include "commands.h"

#include "EntityConfig.h"
#include "db.h"
#include "editorsettings.h"
#include "main.h"
#include "roomcheck.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace CliCommands {

namespace {

// Points the library's settings at a resources folder, and its working folder at the editor's,
// for the length of a command. The settings live in a file of their own, so that no user's
// settings.ini is touched.
class ResourcesScope {
public:
    ResourcesScope(const QString& resources, const QString& editor)
        : previousSettings(g_settings)
        , previousPrefix(g_prefix) {
        g_settings = new QSettings(settingsFolder.filePath(QStringLiteral("settings.ini")),
                                   QSettings::IniFormat);
        g_settings->setValue(SettingsKey::ResourcesPath, resources);
        if (!editor.isEmpty())
            g_prefix = QDir(editor).absolutePath() + QLatin1Char('/');
    }

    ~ResourcesScope() {
        delete g_settings;
        g_settings = previousSettings;
        g_prefix = previousPrefix;
    }

    ResourcesScope(const ResourcesScope&) = delete;
    ResourcesScope& operator=(const ResourcesScope&) = delete;

private:
    QTemporaryDir settingsFolder;
    QSettings* previousSettings;
    QString previousPrefix;
};

bool isReadableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable();
}

int cannotRead(QTextStream& err, const QString& what, const QString& path) {
    err << "quorle-cli: cannot read the " << what << " folder " << path << '\n';
    return UsageError;
}

QString roomCount(const Stage& stage) {
    return stage.rooms.size() == 1 ? QStringLiteral("1 room")
                                   : QStringLiteral("%1 rooms").arg(stage.rooms.size());
}

} // namespace

int check(const QString& resources, const QString& editor, bool json, QTextStream& out,
          QTextStream& err) {
    if (!isReadableFolder(resources))
        return cannotRead(err, QStringLiteral("resources"), resources);
    if (!editor.isEmpty() && !isReadableFolder(editor))
        return cannotRead(err, QStringLiteral("editor"), editor);
    ResourcesScope scope(resources, editor);
    std::unique_ptr<EntityConfig> catalogue;
    if (!editor.isEmpty()) {
        catalogue = std::make_unique<EntityConfig>();
        err << loadEditorEntityFiles(*catalogue);
    }

    const QList<Finding> findings = checkResources(catalogue.get());
    if (json) {
        out << findingsJson(findings);
    } else {
        for (const Finding& finding : findings)
            out << findingLine(finding) << '\n';
    }
    return findings.isEmpty() ? Success : ProblemsFound;
}

int exportStb(const QString& resources, const QString& outFolder, QTextStream& out,
              QTextStream& err) {
    if (!isReadableFolder(resources))
        return cannotRead(err, QStringLiteral("resources"), resources);
    if (!QDir().mkpath(outFolder)) {
        err << "quorle-cli: cannot make the folder " << outFolder << '\n';
        return UsageError;
    }
    ResourcesScope scope(resources, QString());
    err.flush();
    // The load reports the stage files it could not read on standard error itself.
    DB db;
    const BatchReport report = db.exportBinaryReport(outFolder);
    err << report.text();
    for (const Stage* stage : qAsConst(db.stages)) {
        const QString name = DB::stbFileNameFor(*stage);
        if (!report.failed(name))
            out << "wrote " << QDir(outFolder).filePath(name) << " (" << roomCount(*stage) << ")\n";
    }
    if (db.stages.isEmpty())
        err << "quorle-cli: there are no stages to export\n";
    return report.isEmpty() && !db.stages.isEmpty() ? Success : ProblemsFound;
}

int importStb(const QString& resources, const QString& stbFolder, QTextStream& out,
              QTextStream& err) {
    if (!isReadableFolder(resources))
        return cannotRead(err, QStringLiteral("resources"), resources);
    if (!isReadableFolder(stbFolder))
        return cannotRead(err, QStringLiteral("STB"), stbFolder);
    ResourcesScope scope(resources, QString());
    err.flush();
    DB db;
    // The stages imported are the ones marked changed; the load leaves every stage unchanged.
    const BatchReport importReport = db.importBinaryReport(stbFolder);
    QList<const Stage*> imported;
    for (const Stage* stage : qAsConst(db.stages)) {
        if (stage->hasUnsavedChanges())
            imported.append(stage);
    }
    const BatchReport saveReport = db.saveReport();
    err << importReport.text() << saveReport.text();
    for (const Stage* stage : qAsConst(imported)) {
        if (!stage->hasUnsavedChanges())
            out << "imported " << DB::stbFileNameFor(*stage) << " into "
                << DB::roomsFolder() + stage->path.toLower() << " (" << roomCount(*stage) << ")\n";
    }
    return importReport.isEmpty() && saveReport.isEmpty() ? Success : ProblemsFound;
}

} // namespace CliCommands
