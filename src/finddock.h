#pragma once

#include <QDockWidget>
#include <QList>
#include <QPoint>

class FindResultsModel;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTableView;
class Stage;

// The Find dock: a query line over the rooms of every stage as the editor holds them, and the
// rooms it finds. The results follow the query as it is typed; a query that cannot be read
// says why under the line and leaves the results as they were.
class FindDock : public QDockWidget {
    Q_OBJECT
public:
    explicit FindDock(const QList<Stage*>& stages, QWidget* parent = nullptr);

    // Shows the dock with its query selected, ready to be typed over.
    void showQuery();

signals:
    // A result was activated: its room and the cells of its matching entries, row by row.
    void roomActivated(Stage* stage, int row, const QList<QPoint>& cells);

public slots:
    // Runs the query again over the stages as they are now; a hidden dock waits until it is
    // shown.
    void refresh();

private:
    void activate(const QModelIndex& index);

    const QList<Stage*>& stages;
    QLineEdit* queryEdit;
    QLabel* errorLabel;
    QTableView* resultsView;
    FindResultsModel* results;
};
