#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// A temporary working folder for a fuzz target, with the editor's settings store in it and
// "resources/path" pointing at its resources/ folder. It lives as long as the process.
QString fuzzWorkspace();
// Lists one stage, Stage.xml, in the workspace's catalogue and writes its file; returns the path.
QString writeOneStage(const QByteArray& contents);
QByteArray fuzzInput(const uint8_t* data, size_t size);
void writeFile(const QString& path, const QByteArray& contents);
QByteArray readFile(const QString& path);
// Ends the run with a crash report when a property does not hold, so the fuzzer keeps the input.
void require(bool holds, const char* property);
// Writes what was read and reads that back, twice over: both writes must give the same bytes.
void requireStableRoundTrip(const std::function<QByteArray()>& writeAndReadBack);
