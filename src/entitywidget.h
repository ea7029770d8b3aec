#pragma once

#include <QWidget>

// A strip of 40-pixel entity cells: the whole catalogue, or the user's ten-tab palette.
class EntityWidget : public QWidget {
    Q_OBJECT
public:
    explicit EntityWidget(QWidget* parent = nullptr);
};
