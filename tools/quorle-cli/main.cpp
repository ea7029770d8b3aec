// quorle-cli: checks, exports and imports the stages of a resources folder without a window,
// for build pipelines.

#include "main.h"
#include "commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;

namespace {

QtMessageHandler defaultMessageHandler = nullptr;

// The library logs every file it touches for the editor's debug log; a pipeline's log only
// wants what went wrong.
void dropDebugMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        defaultMessageHandler(type, context, text);
}

int usageError(QTextStream& err, const QString& problem) {
    err << "quorle-cli: " << problem << "\nTry 'quorle-cli --help'.\n";
    return CliCommands::UsageError;
}

const char description[] =
    "Checks, exports and imports the stages of a Quorle resources folder, reading and writing "
    "exactly what the Quorle Room Editor does.\n\n"
    "Commands:\n"
    "  check --resources DIR [--editor DIR] [--json]\n"
    "      Lists the problems of every room, one per line:\n"
    "      rooms/<file>:<line>: room <type>.<variant> \"<name>\": <problem>\n"
    "  export-stb --resources DIR OUTDIR\n"
    "      Writes every stage's STB file into OUTDIR, as File > Export Binary... does.\n"
    "  import-stb --resources DIR STBDIR\n"
    "      Replaces the rooms of every stage with those of its STB file in STBDIR, as\n"
    "      File > Import Binary... does, and saves those stages.\n\n"
    "Exit status: 0 all well, 1 problems found, 2 usage error or unreadable folder.";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorle-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    defaultMessageHandler = qInstallMessageHandler(dropDebugMessages);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption resources(QStringLiteral("resources"),
                                       QStringLiteral("The game's resources folder."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption editor(
        QStringLiteral("editor"),
        QStringLiteral("check: the editor's working folder; entities are then checked against "
                       "the editor's entity catalogue."),
        QStringLiteral("DIR"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("check: print the findings as a JSON array."));
    parser.addOptions({resources, editor, json});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("check, export-stb or import-stb."));
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("OUTDIR or STBDIR of export-stb and import-stb."),
                                 QStringLiteral("[folder]"));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(err, parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(CliCommands::Success);
    if (parser.isSet(version))
        parser.showVersion();

    const QStringList arguments = parser.positionalArguments();
    const QString command = arguments.value(0);
    const bool isCheck = command == QLatin1String("check");
    if (!isCheck && command != QLatin1String("export-stb") &&
        command != QLatin1String("import-stb"))
        return usageError(err, command.isEmpty() ? QStringLiteral("no command given")
                                                 : QStringLiteral("unknown command ") + command);
    if (!parser.isSet(resources))
        return usageError(err, QStringLiteral("%1 needs --resources DIR").arg(command));
    if (arguments.size() != (isCheck ? 1 : 2))
        return usageError(err, isCheck ? QStringLiteral("check takes no folder argument")
                                       : QStringLiteral("%1 takes one folder").arg(command));
    if (!isCheck && (parser.isSet(editor) || parser.isSet(json)))
        return usageError(err, QStringLiteral("--editor and --json are options of check"));

    const QString resourcesFolder = parser.value(resources);
    if (isCheck)
        return CliCommands::check(resourcesFolder, parser.value(editor), parser.isSet(json), out,
                                  err);
    if (command == QLatin1String("export-stb"))
        return CliCommands::exportStb(resourcesFolder, arguments[1], out, err);
    return CliCommands::importStb(resourcesFolder, arguments[1], out, err);
}
