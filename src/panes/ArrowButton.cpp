// Placeholder drawing; the arrows are being drawn.
#include "panes/ArrowButton.h"

#include <QPainter>

ArrowButton::ArrowButton(Direction direction, QWidget *parent) : QAbstractButton(parent), direction_(direction)
{
    resize(20, 20);
}
void ArrowButton::setDirection(Direction direction) { direction_ = direction; update(); }
void ArrowButton::setGreyed(bool greyed) { greyed_ = greyed; update(); }
void ArrowButton::paintEvent(QPaintEvent *) { QPainter(this).drawRect(rect().adjusted(0, 0, -1, -1)); }
