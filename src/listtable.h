#pragma once

class QAbstractItemModel;
class QTableView;

// Sets up a table that lists what a dock found, one thing a row: rows are selected whole, one at
// a time, nothing is edited, and every row is one line high, so that thousands of rows need no
// measuring.
void setUpListTable(QTableView* view, QAbstractItemModel* model);
