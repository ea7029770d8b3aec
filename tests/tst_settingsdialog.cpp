#include "main.h"
#include "settingsdialog.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString executableKey = QStringLiteral("varurOzidari/executable");
const QString pathKey = QStringLiteral("varurOzidari/path");
const QString resourcesKey = QStringLiteral("resources/path");

// What a file dialog was opened with, recorded before it is cancelled.
struct FileDialogRequest {
    QString title;
    QString directory;
    bool foldersOnly = false;
};

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fieldsComeFromSettings_data();
    void fieldsComeFromSettings();
    void cancelledBrowseChangesNothing_data();
    void cancelledBrowseChangesNothing();
    void browseExecutableProposesItsFolder();
    void browsePathSetsOnlyThePath();
    void browseResources_data();
    void browseResources();
    void okStoresTheFields();
    void cancelKeepsFieldsAndSettings();

private:
    QString text(const char* lineEdit) const;
    void click(const char* button);
    void clickBox(QDialogButtonBox::StandardButton button);
    // Reads a key from settings.ini as it is on disk, through a copy of the file, so that
    // values still pending in g_settings do not show.
    QString storedValue(const QString& key) const;
    // Existing folders and an executable inside the workspace, stored in the settings.
    void storeExistingPaths();

    std::unique_ptr<TestWorkspace> workspace;
    std::unique_ptr<SettingsDialog> dialog;
};

void TestSettingsDialog::init() {
    workspace = std::make_unique<TestWorkspace>();
    for (const char* folder : {"game", "game/bin", "resources", "other"})
        QVERIFY(QDir().mkpath(workspace->filePath(QLatin1String(folder))));
    workspace->write(QStringLiteral("game/quorle-ng.exe"), "old");
    workspace->write(QStringLiteral("game/bin/quorle-ng.exe"), "new");
}

void TestSettingsDialog::cleanup() {
    dialog.reset();
    workspace.reset();
}

QString TestSettingsDialog::text(const char* lineEdit) const {
    auto* field = dialog->findChild<QLineEdit*>(QLatin1String(lineEdit));
    return field ? field->text() : QStringLiteral("<no %1>").arg(QLatin1String(lineEdit));
}

void TestSettingsDialog::click(const char* button) {
    auto* widget = dialog->findChild<QPushButton*>(QLatin1String(button));
    QVERIFY2(widget, button);
    QTest::mouseClick(widget, Qt::LeftButton);
}

void TestSettingsDialog::clickBox(QDialogButtonBox::StandardButton button) {
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(box && box->button(button));
    QTest::mouseClick(box->button(button), Qt::LeftButton);
}

QString TestSettingsDialog::storedValue(const QString& key) const {
    const QString copy = workspace->filePath(QStringLiteral("settings-copy.ini"));
    QFile::remove(copy);
    QFile::copy(workspace->filePath(QStringLiteral("settings.ini")), copy);
    return QSettings(copy, QSettings::IniFormat).value(key).toString();
}

void TestSettingsDialog::storeExistingPaths() {
    g_settings->setValue(executableKey, workspace->filePath(QStringLiteral("game/quorle-ng.exe")));
    g_settings->setValue(pathKey, workspace->filePath(QStringLiteral("game")));
    g_settings->setValue(resourcesKey, workspace->filePath(QStringLiteral("resources")));
    g_settings->sync();
}

void TestSettingsDialog::fieldsComeFromSettings_data() {
    QTest::addColumn<QStringList>("values");
    QTest::newRow("all keys set") << QStringList{QStringLiteral("/games/q/quorle-ng.exe"),
                                                 QStringLiteral("/games/q"),
                                                 QStringLiteral("/games/q/resources")};
    QTest::newRow("no keys") << QStringList();
}

void TestSettingsDialog::fieldsComeFromSettings() {
    QFETCH(QStringList, values);
    const QStringList keys{executableKey, pathKey, resourcesKey};
    for (int i = 0; i < values.size(); ++i)
        g_settings->setValue(keys[i], values[i]);

    dialog = std::make_unique<SettingsDialog>(nullptr);

    const char* fields[] = {"executableLineEdit", "pathLineEdit", "resourcesLineEdit"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(text(fields[i]), values.value(i));
        QVERIFY(dialog->findChild<QLineEdit*>(QLatin1String(fields[i]))->isReadOnly());
    }
    QCOMPARE(dialog->resourcesChanged, false);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog->size(), QSize(496, 242));
}

void TestSettingsDialog::cancelledBrowseChangesNothing_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("startFolder");
    QTest::addColumn<bool>("foldersOnly");
    QTest::newRow("executable") << QByteArray("browseExecutableButton")
                                << QStringLiteral("Velmire executable (quorle-ng.exe)")
                                << QStringLiteral("game") << false;
    QTest::newRow("working directory")
        << QByteArray("browsePathButton") << QStringLiteral("Working directory")
        << QStringLiteral("game") << true;
    QTest::newRow("resources") << QByteArray("browseResourcesButton")
                               << QStringLiteral("Velmire resources folder")
                               << QStringLiteral("resources") << true;
}

void TestSettingsDialog::cancelledBrowseChangesNothing() {
    QFETCH(QByteArray, button);
    QFETCH(QString, title);
    QFETCH(QString, startFolder);
    QFETCH(bool, foldersOnly);
    storeExistingPaths();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();

    QList<FileDialogRequest> requests;
    ModalAnswerer answerer([&requests](QWidget* shown) {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(shown))
            requests << FileDialogRequest{fileDialog->windowTitle(),
                                          fileDialog->directory().absolutePath(),
                                          fileDialog->testOption(QFileDialog::ShowDirsOnly)};
        shown->close();
    });
    click(button.constData());

    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].title, title);
    QCOMPARE(requests[0].directory, QDir(workspace->filePath(startFolder)).absolutePath());
    QCOMPARE(requests[0].foldersOnly, foldersOnly);
    QCOMPARE(text("executableLineEdit"), g_settings->value(executableKey).toString());
    QCOMPARE(text("pathLineEdit"), g_settings->value(pathKey).toString());
    QCOMPARE(text("resourcesLineEdit"), g_settings->value(resourcesKey).toString());
    QCOMPARE(dialog->resourcesChanged, false);
}

void TestSettingsDialog::browseExecutableProposesItsFolder() {
    storeExistingPaths();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();
    const QString executable = workspace->filePath(QStringLiteral("game/bin/quorle-ng.exe"));

    ModalAnswerer answerer(ModalAnswerer::chooseFile(executable));
    click("browseExecutableButton");

    QCOMPARE(text("executableLineEdit"), executable);
    QCOMPARE(text("pathLineEdit"), workspace->filePath(QStringLiteral("game/bin")));
    QCOMPARE(text("resourcesLineEdit"), g_settings->value(resourcesKey).toString());
    QCOMPARE(dialog->resourcesChanged, false);
}

void TestSettingsDialog::browsePathSetsOnlyThePath() {
    storeExistingPaths();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();
    const QString folder = workspace->filePath(QStringLiteral("other"));

    ModalAnswerer answerer(ModalAnswerer::chooseFolder(folder));
    click("browsePathButton");

    QCOMPARE(text("pathLineEdit"), folder);
    QCOMPARE(text("executableLineEdit"), g_settings->value(executableKey).toString());
    QCOMPARE(dialog->resourcesChanged, false);
}

void TestSettingsDialog::browseResources_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("changed");
    QTest::newRow("another folder") << QStringLiteral("other") << true;
    QTest::newRow("the folder already shown") << QStringLiteral("resources") << false;
}

void TestSettingsDialog::browseResources() {
    QFETCH(QString, chosen);
    QFETCH(bool, changed);
    storeExistingPaths();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();
    const QString folder = workspace->filePath(chosen);

    ModalAnswerer answerer(ModalAnswerer::chooseFolder(folder));
    click("browseResourcesButton");

    QCOMPARE(text("resourcesLineEdit"), folder);
    QCOMPARE(dialog->resourcesChanged, changed);
}

void TestSettingsDialog::okStoresTheFields() {
    storeExistingPaths();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();
    const QString executable = workspace->filePath(QStringLiteral("game/bin/quorle-ng.exe"));
    const QString resources = workspace->filePath(QStringLiteral("other"));
    {
        ModalAnswerer answerer(ModalAnswerer::chooseFile(executable));
        click("browseExecutableButton");
    }
    {
        ModalAnswerer answerer(ModalAnswerer::chooseFolder(resources));
        click("browseResourcesButton");
    }
    QSignalSpy accepted(dialog.get(), &QDialog::accepted);

    clickBox(QDialogButtonBox::Ok);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->resourcesChanged, true);
    dialog->updateConfig();

    QCOMPARE(storedValue(executableKey), executable);
    QCOMPARE(storedValue(pathKey), workspace->filePath(QStringLiteral("game/bin")));
    QCOMPARE(storedValue(resourcesKey), resources);
    QCOMPARE(dialog->resourcesChanged, false);
}

void TestSettingsDialog::cancelKeepsFieldsAndSettings() {
    storeExistingPaths();
    const QString oldResources = g_settings->value(resourcesKey).toString();
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->show();
    const QString resources = workspace->filePath(QStringLiteral("other"));
    {
        ModalAnswerer answerer(ModalAnswerer::chooseFolder(resources));
        click("browseResourcesButton");
    }
    QSignalSpy rejected(dialog.get(), &QDialog::rejected);

    clickBox(QDialogButtonBox::Cancel);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(storedValue(resourcesKey), oldResources);
    QCOMPARE(g_settings->value(resourcesKey).toString(), oldResources);

    // Shown again, the dialog still holds what the Browse button put there; the next OK
    // stores it.
    dialog->show();
    QCOMPARE(text("resourcesLineEdit"), resources);
    QCOMPARE(dialog->resourcesChanged, true);
    dialog->updateConfig();
    QCOMPARE(storedValue(resourcesKey), resources);
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
