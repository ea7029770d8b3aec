#include "finddock.h"

#include "EntityConfig.h"
#include "listtable.h"
#include "roomquery.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

FindDock::FindDock(const QList<Stage*>& stages, QWidget* parent)
    : QDockWidget(QStringLiteral("Find"), parent)
    , stages(stages) {
    setObjectName(QStringLiteral("findDock"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    queryEdit = new QLineEdit(content);
    queryEdit->setObjectName(QStringLiteral("findEdit"));
    queryEdit->setPlaceholderText(QStringLiteral("entity:Gaper type:1 moss*"));
    queryEdit->setClearButtonEnabled(true);
    errorLabel = new QLabel(content);
    errorLabel->setObjectName(QStringLiteral("findError"));
    errorLabel->setWordWrap(true);
    errorLabel->hide();
    results = new FindResultsModel(this);
    resultsView = new QTableView(content);
    resultsView->setObjectName(QStringLiteral("findResults"));
    setUpListTable(resultsView, results);
    QHeaderView* header = resultsView->horizontalHeader();
    header->setSectionResizeMode(FindResultsModel::RoomColumn, QHeaderView::Stretch);
    for (int count : {FindResultsModel::CellsColumn, FindResultsModel::EntriesColumn})
        header->resizeSection(count, header->sectionSizeHint(count));
    layout->addWidget(queryEdit);
    layout->addWidget(errorLabel);
    layout->addWidget(resultsView);
    setWidget(content);

    connect(queryEdit, &QLineEdit::textChanged, this, &FindDock::refresh);
    connect(resultsView, &QAbstractItemView::activated, this, &FindDock::activate);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh();
    });
}

void FindDock::showQuery() {
    show();
    raise();
    queryEdit->setFocus();
    queryEdit->selectAll();
}

void FindDock::refresh() {
    if (isHidden())
        return;
    const RoomQuery query(queryEdit->text(), g_EntityConfig.GetAllEntities());
    errorLabel->setText(query.error());
    errorLabel->setVisible(!query.error().isEmpty());
    if (query.error().isEmpty())
        results->setResults(query.find(stages), query.hasEntityTerms());
}

void FindDock::activate(const QModelIndex& index) {
    const FoundRoom& found = results->result(index.row());
    emit roomActivated(found.stage, found.row, found.cells);
}
