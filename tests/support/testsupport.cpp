#include "testsupport.h"

#include "main.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

TestWorkspace::TestWorkspace()
    : previousDir(QDir::currentPath())
    , previousSettings(g_settings) {
    QDir::setCurrent(dir.path());
    g_settings = new QSettings(g_prefix + QStringLiteral("settings.ini"), QSettings::IniFormat);
}

TestWorkspace::~TestWorkspace() {
    delete g_settings;
    g_settings = previousSettings;
    QDir::setCurrent(previousDir);
}

QString TestWorkspace::path() const {
    return dir.path();
}

QString TestWorkspace::filePath(const QString& relative) const {
    return dir.filePath(relative);
}

void TestWorkspace::write(const QString& relative, const QByteArray& contents) const {
    const QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write test file %s", qPrintable(target));
}

QByteArray TestWorkspace::read(const QString& relative) const {
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestWorkspace::makeResources(const QList<StageEntry>& stages) {
    QByteArray xml = "<stages>\n";
    for (const StageEntry& stage : stages)
        xml += QStringLiteral("\t<stage id=\"%1\" name=\"%2\" path=\"%3\" />\n")
                   .arg(stage.id)
                   .arg(stage.name.toHtmlEscaped(), stage.path.toHtmlEscaped())
                   .toUtf8();
    xml += "</stages>\n";
    write(QStringLiteral("resources/stages.xml"), xml);
    QDir().mkpath(filePath(QStringLiteral("resources/rooms")));
    g_settings->setValue(QStringLiteral("resources/path"), resourcesPath());
    return resourcesPath();
}

QString TestWorkspace::resourcesPath() const {
    return filePath(QStringLiteral("resources"));
}

namespace {
// A message box takes its default button (or its first one); any other dialog is closed.
void acceptDefault(QWidget* dialog) {
    QAbstractButton* button = nullptr;
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
    if (button)
        button->click();
    else
        dialog->close();
}
} // namespace

ModalAnswerer::ModalAnswerer(Answer answer)
    : answer(answer ? std::move(answer) : acceptDefault) {
    connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer.start(20);
}

QList<ModalAnswerer::Seen> ModalAnswerer::seen() const {
    return seenDialogs;
}

QStringList ModalAnswerer::texts() const {
    QStringList result;
    for (const Seen& s : seenDialogs)
        result << s.text;
    return result;
}

ModalAnswerer::Answer ModalAnswerer::choosePath(const QString& path, int standardButton) {
    return [=](QWidget* dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(dialog)) {
            if (QFileInfo(path).isDir())
                fileDialog->setDirectory(path);
            // selectFile() leaves the name field alone while it has the keyboard focus, and the
            // dialog would then answer with the folder it shows instead of the path.
            if (QWidget* focused = fileDialog->focusWidget())
                focused->clearFocus();
            fileDialog->selectFile(path);
            QMetaObject::invokeMethod(fileDialog, "accept");
        } else if (auto* box = qobject_cast<QMessageBox*>(dialog);
                   box && box->button(QMessageBox::StandardButton(standardButton))) {
            box->button(QMessageBox::StandardButton(standardButton))->click();
        } else {
            acceptDefault(dialog);
        }
    };
}

ModalAnswerer::Answer ModalAnswerer::pressing(const QString& buttonText) {
    return [=](QWidget* dialog) {
        const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        for (QPushButton* button : buttons) {
            if (button->text() == buttonText)
                button->click();
        }
    };
}

void ModalAnswerer::poll() {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        seenDialogs << Seen{dialog->windowTitle(), box ? box->text() : QString()};
        answer(dialog);
    }
}

namespace {
QStringList capturedMessages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    capturedMessages.append(message);
}
} // namespace

WarningRecorder::WarningRecorder() {
    DB::setWarningReporter([this](const QString&, const QString& text) { recorded << text; });
}

WarningRecorder::~WarningRecorder() {
    DB::setWarningReporter(DB::WarningReporter());
}

QStringList WarningRecorder::texts() const {
    return recorded;
}

LogCapture::LogCapture() {
    capturedMessages.clear();
    previous = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previous);
}

QStringList LogCapture::messages() const {
    return capturedMessages;
}

int LogCapture::count(const QString& containing) const {
    return capturedMessages.filter(containing).size();
}

namespace {
// Every stored field of a room, a line for its header and one for each door and spawn, so that
// a mismatch names the part that differs.
QStringList storedFields(const Room& room) {
    QStringList lines{QString::asprintf("%u.%u.%u difficulty %d shape %d weight %g size %dx%d ",
                                        room.type, room.variant, room.subtype, room.difficulty,
                                        room.shape, double(room.weight), room.width, room.height) +
                      room.name};
    for (const Room::Door& door : room.doors)
        lines << QString::asprintf("door %d %d %d", door.x, door.y, door.exists);
    for (const Room::Spawn& spawn : room.spawns) {
        lines << QString::asprintf("spawn %d %d:", spawn.x, spawn.y);
        for (const Room::Entry& e : spawn.entries)
            lines.last() +=
                QString::asprintf(" %d.%d.%d x%g", e.type, e.variant, e.subtype, double(e.weight));
    }
    return lines;
}
} // namespace

QStringList spawnLayout(const Room& room) {
    QStringList cells;
    for (const Room::Spawn& spawn : room.spawns) {
        QStringList entries{QStringLiteral("%1,%2:").arg(spawn.x).arg(spawn.y)};
        for (const Room::Entry& entry : spawn.entries)
            entries << QString::asprintf("%d.%d*%g", entry.type, entry.variant,
                                         double(entry.weight));
        if (entries.size() > 1)
            cells << entries.join(QLatin1Char(' '));
    }
    cells.sort();
    return cells;
}

void compareRooms(const Room& actual, const Room& expected) {
    QCOMPARE(storedFields(actual), storedFields(expected));
}

Room testRoom(quint32 type, quint32 variant, const QString& name, int difficulty, quint8 shape,
              float weight, quint32 subtype) {
    Room room;
    room.type = type;
    room.variant = variant;
    room.subtype = subtype;
    room.name = name;
    room.difficulty = quint8(difficulty);
    room.shape = shape;
    room.weight = weight;
    const QSize grid = roomShapeGridSize(shape);
    room.resize(grid.width(), grid.height());
    return room;
}

QByteArray stageXml(const StableList<Room>& rooms) {
    Stage stage;
    stage.rooms = rooms;
    return DB::stageFileBytes(stage);
}
