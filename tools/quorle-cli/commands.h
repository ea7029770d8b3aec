#pragma once

#include <QString>

class QTextStream;

// The commands of quorle-cli. Each writes its results to out and its diagnostics to err, and
// returns the exit status: 0 when all went well, 1 when it found or met problems, 2 when a
// folder it needs cannot be read or made.
namespace CliCommands {

enum ExitStatus { Success = 0, ProblemsFound = 1, UsageError = 2 };

// Lists the problems of the resources folder's stages; with an editor folder, also the
// entities that the editor's entity catalogue does not know.
int check(const QString& resources, const QString& editor, bool json, QTextStream& out,
          QTextStream& err);
// Writes every stage's STB file into outFolder, as the editor's binary export does.
int exportStb(const QString& resources, const QString& outFolder, QTextStream& out,
              QTextStream& err);
// Replaces the rooms of every stage from its STB file in stbFolder, as the editor's binary
// import does, and saves the stages imported.
int importStb(const QString& resources, const QString& stbFolder, QTextStream& out,
              QTextStream& err);

} // namespace CliCommands
