#include "main.h"
#include "settingsdialog.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const QStringList keys{"varurOzidari/executable", "varurOzidari/path", "resources/path"};
// What init() stores, relative to the workspace.
const QStringList stored{"game/quorle-ng.exe", "game", "resources"};

QStringList values(const QSettings& settings) {
    QStringList result;
    for (const QString& key : keys)
        result << settings.value(key).toString();
    return result;
}
} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

private slots:
    void init() {
        workspace = std::make_unique<TestWorkspace>();
        workspace->write(QStringLiteral("game/bin/quorle-ng.exe"), "new");
        QVERIFY(QDir().mkpath(at("resources")) && QDir().mkpath(at("other")));
        for (int i = 0; i < 3; ++i)
            g_settings->setValue(keys[i], at(stored[i]));
        g_settings->sync();
        dialog = std::make_unique<SettingsDialog>(nullptr);
        dialog->show();
    }
    void cleanup() {
        dialog.reset();
        workspace.reset();
    }

    void browse_data();
    void browse();
    void okStoresCancelKeeps_data();
    void okStoresCancelKeeps();

private:
    QString at(const QString& relative) const { return workspace->filePath(relative); }
    QStringList at(QStringList relative) const {
        for (QString& path : relative)
            path = at(path);
        return relative;
    }
    QStringList texts() const {
        QStringList result;
        for (const char* name : {"executableLineEdit", "pathLineEdit", "resourcesLineEdit"})
            result << dialog->findChild<QLineEdit*>(QLatin1String(name))->text();
        return result;
    }
    // Clicks a Browse button and answers its file dialog with the path, or cancels it.
    void clickBrowse(const char* button, const QString& chosen) {
        ModalAnswerer answerer(chosen.isEmpty() ? ModalAnswerer::Answer()
                               : chosen.endsWith(QLatin1String(".exe"))
                                   ? ModalAnswerer::chooseFile(chosen)
                                   : ModalAnswerer::chooseFolder(chosen));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        QCOMPARE(answerer.seen().size(), 1);
    }
    // The values settings.ini holds on disk, not those still pending in g_settings.
    QStringList onDisk() const {
        QFile::remove(at("copy.ini"));
        QFile::copy(at("settings.ini"), at("copy.ini"));
        return values(QSettings(at("copy.ini"), QSettings::IniFormat));
    }

    std::unique_ptr<TestWorkspace> workspace;
    std::unique_ptr<SettingsDialog> dialog;
};

void TestSettingsDialog::browse_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("changed");
    // The fields show the settings, and a cancelled file dialog leaves them alone.
    for (const char* button :
         {"browseExecutableButton", "browsePathButton", "browseResourcesButton"})
        QTest::addRow("%s cancelled", button) << QByteArray(button) << QString() << stored << false;
    QTest::newRow("executable, with its folder")
        << QByteArray("browseExecutableButton") << "game/bin/quorle-ng.exe"
        << QStringList{"game/bin/quorle-ng.exe", "game/bin", "resources"} << false;
    QTest::newRow("working directory")
        << QByteArray("browsePathButton") << "other"
        << QStringList{"game/quorle-ng.exe", "other", "resources"} << false;
    QTest::newRow("resources") << QByteArray("browseResourcesButton") << "other"
                               << QStringList{"game/quorle-ng.exe", "game", "other"} << true;
    QTest::newRow("resources unchanged")
        << QByteArray("browseResourcesButton") << "resources" << stored << false;
}

void TestSettingsDialog::browse() {
    QFETCH(QByteArray, button);
    QFETCH(QString, chosen);
    QFETCH(QStringList, expected);
    clickBrowse(button.constData(), chosen.isEmpty() ? QString() : at(chosen));
    QCOMPARE(texts(), at(expected));
    QTEST(dialog->resourcesChanged, "changed");
}

void TestSettingsDialog::okStoresCancelKeeps_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

// Closing the dialog stores nothing by itself (the editor first looks at resourcesChanged);
// updateConfig, called after OK, stores and writes every field at once.
void TestSettingsDialog::okStoresCancelKeeps() {
    QFETCH(bool, ok);
    clickBrowse("browseExecutableButton", at("game/bin/quorle-ng.exe"));
    clickBrowse("browseResourcesButton", at("other"));
    const QStringList chosen = texts();
    QSignalSpy closed(dialog.get(), ok ? &QDialog::accepted : &QDialog::rejected);

    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QTest::mouseClick(box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                      Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(values(*g_settings), at(stored));
    QCOMPARE(texts(), chosen);
    QCOMPARE(dialog->resourcesChanged, true);

    if (ok) {
        dialog->updateConfig();
        QCOMPARE(onDisk(), chosen);
        QCOMPARE(dialog->resourcesChanged, false);
    }
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
