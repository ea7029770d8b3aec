#include "replaceentitydialog.h"

#include "EntityConfig.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QVBoxLayout>

namespace {

// "type.variant.subtype Name" for every entity of the catalogue.
QStringList catalogueEntityTexts() {
    QStringList texts;
    for (const EntityConfig::Entity& entity : g_EntityConfig.GetAllEntities()) {
        texts << QStringLiteral("%1.%2.%3 %4")
                     .arg(entity.type)
                     .arg(entity.variant)
                     .arg(entity.subtype)
                     .arg(QString::fromStdString(entity.name));
    }
    return texts;
}

} // namespace

ReplaceEntityDialog::ReplaceEntityDialog(bool hasStage, bool hasRoom, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Replace Entity"));
    auto* form = new QFormLayout(this);
    auto* entities = new QStringListModel(catalogueEntityTexts(), this);
    fromEdit = addEntityEdit(form, QStringLiteral("Replace:"), "replaceFromEdit", entities);
    withEdit = addEntityEdit(form, QStringLiteral("With:"), "replaceWithEdit", entities);
    auto* scopes = new QGroupBox(QStringLiteral("Replace in"), this);
    auto* scopeLayout = new QVBoxLayout(scopes);
    roomButton =
        addScopeButton(scopeLayout, QStringLiteral("Current room"), "scopeRoomButton", hasRoom);
    QRadioButton* stageButton =
        addScopeButton(scopeLayout, QStringLiteral("Current stage"), "scopeStageButton", hasStage);
    allButton = addScopeButton(scopeLayout, QStringLiteral("All stages"), "scopeAllButton", true);
    form->addRow(scopes);
    (hasStage ? stageButton : allButton)->setChecked(true);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    updateOkButton();
}

QLineEdit* ReplaceEntityDialog::addEntityEdit(QFormLayout* form, const QString& label,
                                              const char* name, QAbstractItemModel* entities) {
    auto* edit = new QLineEdit(this);
    auto* completer = new QCompleter(entities, edit);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(QStringLiteral("type.variant.subtype"));
    // Wide enough for an entity's numbers and a long name, as the completer offers them.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 36);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    edit->setCompleter(completer);
    connect(edit, &QLineEdit::textChanged, this, &ReplaceEntityDialog::updateOkButton);
    form->addRow(label, edit);
    return edit;
}

QRadioButton* ReplaceEntityDialog::addScopeButton(QVBoxLayout* scopes, const QString& text,
                                                  const char* name, bool enabled) {
    auto* button = new QRadioButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setEnabled(enabled);
    scopes->addWidget(button);
    return button;
}

void ReplaceEntityDialog::updateOkButton() {
    EntityId id;
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(readEntityId(fromEdit->text(), id) && readEntityId(withEdit->text(), id));
}

ReplaceRequest ReplaceEntityDialog::request() const {
    ReplaceRequest request;
    readEntityId(fromEdit->text(), request.from);
    readEntityId(withEdit->text(), request.to);
    request.scope = roomButton->isChecked()  ? ReplaceScope::CurrentRoom
                    : allButton->isChecked() ? ReplaceScope::AllStages
                                             : ReplaceScope::CurrentStage;
    return request;
}
