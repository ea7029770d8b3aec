#include "entitywidget.h"

EntityWidget::EntityWidget(QWidget* parent)
    : QWidget(parent)
{
}
