#include "testsupport.h"

#include "db.h"
#include "main.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <pugixml.hpp>

#include <sstream>

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
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString TestWorkspace::makeResources(const QList<StageEntry>& stages) {
    QByteArray xml = "<stages>\n";
    for (const StageEntry& stage : stages) {
        xml += QStringLiteral("\t<stage id=\"%1\" name=\"%2\" path=\"%3\" />\n")
                   .arg(stage.id)
                   .arg(stage.name.toHtmlEscaped(), stage.path.toHtmlEscaped())
                   .toUtf8();
    }
    xml += "</stages>\n";
    write(QStringLiteral("resources/stages.xml"), xml);
    QDir().mkpath(filePath(QStringLiteral("resources/rooms")));
    g_settings->setValue(QStringLiteral("resources/path"), resourcesPath());
    return resourcesPath();
}

QString TestWorkspace::resourcesPath() const {
    return filePath(QStringLiteral("resources"));
}

ModalAnswerer::ModalAnswerer(Answer answer)
    : answer(std::move(answer)) {
    connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer.start(20);
}

ModalAnswerer::~ModalAnswerer() = default;

QList<ModalAnswerer::Seen> ModalAnswerer::seen() const {
    return seenDialogs;
}

QStringList ModalAnswerer::texts() const {
    QStringList result;
    for (const Seen& s : seenDialogs)
        result << s.text;
    return result;
}

ModalAnswerer::Answer ModalAnswerer::pressButton(int standardButton) {
    return [standardButton](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            if (QAbstractButton* button =
                    box->button(static_cast<QMessageBox::StandardButton>(standardButton))) {
                button->click();
                return;
            }
        }
        dialog->close();
    };
}

namespace {
void selectAndAccept(QFileDialog* dialog, const QString& path) {
    // selectFile() leaves the name field alone while it has the keyboard focus, and the
    // dialog would then answer with the folder it shows instead of the path.
    if (QWidget* focused = dialog->focusWidget())
        focused->clearFocus();
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
}
} // namespace

ModalAnswerer::Answer ModalAnswerer::chooseFolder(const QString& folder) {
    return [folder](QWidget* dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(dialog)) {
            fileDialog->setDirectory(folder);
            selectAndAccept(fileDialog, folder);
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            QAbstractButton* ok =
                box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
            if (ok)
                ok->click();
            return;
        }
        dialog->close();
    };
}

ModalAnswerer::Answer ModalAnswerer::chooseFolderThen(const QString& folder, int standardButton) {
    return [=](QWidget* dialog) {
        if (qobject_cast<QFileDialog*>(dialog))
            chooseFolder(folder)(dialog);
        else
            pressButton(standardButton)(dialog);
    };
}

ModalAnswerer::Answer ModalAnswerer::chooseFile(const QString& file) {
    return [file](QWidget* dialog) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(dialog)) {
            selectAndAccept(fileDialog, file);
            return;
        }
        dialog->close();
    };
}

void ModalAnswerer::poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog)
        return;
    Seen record;
    record.className = QString::fromLatin1(dialog->metaObject()->className());
    record.title = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        record.text = box->text();
    seenDialogs << record;
    if (answer) {
        answer(dialog);
    } else if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        QAbstractButton* button =
            box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        if (button)
            button->click();
        else
            box->close();
    } else {
        dialog->close();
    }
}

namespace {
QStringList* capturedMessages = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (capturedMessages)
        capturedMessages->append(message);
}
} // namespace

LogCapture::LogCapture() {
    capturedMessages = new QStringList;
    previous = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture() {
    qInstallMessageHandler(previous);
    delete capturedMessages;
    capturedMessages = nullptr;
}

QStringList LogCapture::messages() const {
    return *capturedMessages;
}

int LogCapture::count(const QString& containing) const {
    int n = 0;
    for (const QString& message : qAsConst(*capturedMessages))
        n += message.contains(containing) ? 1 : 0;
    return n;
}

void compareRooms(const Room& actual, const Room& expected) {
    QCOMPARE(actual.type, expected.type);
    QCOMPARE(actual.variant, expected.variant);
    QCOMPARE(actual.subtype, expected.subtype);
    QCOMPARE(actual.difficulty, expected.difficulty);
    QCOMPARE(actual.name, expected.name);
    QCOMPARE(actual.shape, expected.shape);
    QCOMPARE(actual.weight, expected.weight);
    QCOMPARE(actual.width, expected.width);
    QCOMPARE(actual.height, expected.height);
    QCOMPARE(actual.doors.size(), expected.doors.size());
    for (int i = 0; i < expected.doors.size(); ++i) {
        QCOMPARE(actual.doors[i].x, expected.doors[i].x);
        QCOMPARE(actual.doors[i].y, expected.doors[i].y);
        QCOMPARE(actual.doors[i].exists, expected.doors[i].exists);
    }
    QCOMPARE(actual.spawns.size(), expected.spawns.size());
    for (int i = 0; i < expected.spawns.size(); ++i) {
        QCOMPARE(actual.spawns[i].x, expected.spawns[i].x);
        QCOMPARE(actual.spawns[i].y, expected.spawns[i].y);
        QCOMPARE(actual.spawns[i].entries.size(), expected.spawns[i].entries.size());
        for (int j = 0; j < expected.spawns[i].entries.size(); ++j) {
            const Room::Entry& a = actual.spawns[i].entries[j];
            const Room::Entry& e = expected.spawns[i].entries[j];
            QCOMPARE(a.type, e.type);
            QCOMPARE(a.variant, e.variant);
            QCOMPARE(a.subtype, e.subtype);
            QCOMPARE(a.weight, e.weight);
        }
    }
}

Room testRoom(quint32 type, quint32 variant, const QString& name, int difficulty, quint8 shape,
              float weight) {
    Room room;
    room.type = type;
    room.variant = variant;
    room.name = name;
    room.difficulty = quint8(difficulty);
    room.shape = shape;
    room.weight = weight;
    const QSize grid = roomShapeGridSize(shape);
    room.resize(grid.width(), grid.height());
    return room;
}

QByteArray stageXml(const QList<Room>& rooms) {
    pugi::xml_document doc;
    pugi::xml_node node = doc.append_child("rooms");
    for (const Room& room : rooms)
        DB::append_xml_room(node, room);
    std::ostringstream out;
    doc.save(out);
    return QByteArray::fromStdString(out.str());
}
