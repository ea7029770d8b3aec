#include "problemsdock.h"

#include "listtable.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

ProblemsDock::ProblemsDock(ProblemListModel* problems, QWidget* parent)
    : QDockWidget(QStringLiteral("Problems"), parent)
    , problems(problems)
    , view(new QTableView(this))
    , count(new QLabel(this)) {
    setObjectName(QStringLiteral("problemsDock"));
    toggleViewAction()->setObjectName(QStringLiteral("actionProblems"));
    view->setObjectName(QStringLiteral("problemsView"));
    setUpListTable(view, problems);
    view->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {130, 170, 60, 130};
    for (int column = 0; column < ProblemListModel::ProblemColumn; ++column)
        view->setColumnWidth(column, widths[column]);
    setWidget(view);
    connect(view, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        emit placeActivated(this->problems->placeAt(index.row()));
    });

    count->setObjectName(QStringLiteral("problemCountLabel"));
    connect(problems, &ProblemListModel::problemCountChanged, this, &ProblemsDock::showCount);
    showCount(problems->rowCount());
}

int ProblemsDock::heightForRows(int rows) const {
    return view->horizontalHeader()->sizeHint().height() +
           rows * view->verticalHeader()->defaultSectionSize() + 2 * view->frameWidth();
}

QLabel* ProblemsDock::countLabel() const {
    return count;
}

void ProblemsDock::showCount(int problemCount) {
    count->setText(problemCount == 1 ? QStringLiteral("1 problem")
                                     : QStringLiteral("%1 problems").arg(problemCount));
}
