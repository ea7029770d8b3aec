#pragma once

#include "entityreplace.h"

#include <QDialog>

class QAbstractItemModel;
class QDialogButtonBox;
class QFormLayout;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

// Asks for the entity to replace, the entity to put in its place, and where ("Replace Entity").
// Both entities are typed as "type.variant.subtype", or picked from the catalogue's entities.
class ReplaceEntityDialog : public QDialog {
    Q_OBJECT
public:
    // Without a current stage or room, the scopes that need one are disabled.
    ReplaceEntityDialog(bool hasStage, bool hasRoom, QWidget* parent = nullptr);

    // What OK asks for.
    ReplaceRequest request() const;

private:
    // An edit for an entity, completed from the catalogue's entities.
    QLineEdit* addEntityEdit(QFormLayout* form, const QString& label, const char* name,
                             QAbstractItemModel* entities);
    QRadioButton* addScopeButton(QVBoxLayout* scopes, const QString& text, const char* name,
                                 bool enabled);
    // OK only while both edits name an entity.
    void updateOkButton();

    QLineEdit* fromEdit;
    QLineEdit* withEdit;
    QRadioButton* roomButton;
    QRadioButton* allButton;
    QDialogButtonBox* buttons;
};
