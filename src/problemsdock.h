#pragma once

#include "problemlist.h"

#include <QDockWidget>

class QLabel;
class QTableView;

// The "Problems" dock: every problem of the stages as the editor holds them, and their number
// in the status bar. Activating a problem asks for its place to be shown.
class ProblemsDock : public QDockWidget {
    Q_OBJECT
public:
    ProblemsDock(ProblemListModel* problems, QWidget* parent);

    // The height of the list with that many rows in sight.
    int heightForRows(int rows) const;
    // The label that shows the number of problems, for the status bar.
    QLabel* countLabel() const;

signals:
    void placeActivated(const ProblemListModel::Place& place);

private:
    void showCount(int count);

    ProblemListModel* problems;
    QTableView* view;
    QLabel* count;
};
