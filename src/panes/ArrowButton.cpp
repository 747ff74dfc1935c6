// The transfer arrows: the style's button face, sunk while held down, with a solid triangle
// pointing towards the pane the files go to. Greyed draws the triangle engraved, as a disabled
// control would look, while the button keeps taking clicks.
#include "panes/ArrowButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace {

// A triangle pointing up inside a 20-by-20 face, turned for the other directions.
QPolygonF triangle(ArrowButton::Direction direction)
{
    const QPolygonF up{{10, 5}, {16, 13}, {4, 13}};
    qreal angle = 0;
    switch (direction) {
    case ArrowButton::Up:
        angle = 0;
        break;
    case ArrowButton::Right:
        angle = 90;
        break;
    case ArrowButton::Down:
        angle = 180;
        break;
    case ArrowButton::Left:
        angle = 270;
        break;
    }
    QTransform turn;
    turn.translate(10, 10);
    turn.rotate(angle);
    turn.translate(-10, -10);
    return turn.map(up);
}

} // namespace

ArrowButton::ArrowButton(Direction direction, QWidget *parent) : QAbstractButton(parent), direction_(direction)
{
    setFocusPolicy(Qt::NoFocus);
    resize(20, 20);
}

void ArrowButton::setDirection(Direction direction)
{
    if (direction_ == direction)
        return;
    direction_ = direction;
    update();
}

void ArrowButton::setGreyed(bool greyed)
{
    if (greyed_ == greyed)
        return;
    greyed_ = greyed;
    update();
}

void ArrowButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton face;
    face.initFrom(this);
    face.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &face, &painter, this);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(width() / 20.0, height() / 20.0);
    QPolygonF arrow = triangle(direction_);
    if (isDown())
        arrow.translate(1, 1); // the face moves in as it is pressed
    painter.setPen(Qt::NoPen);
    if (greyed_) {
        painter.setBrush(palette().color(QPalette::Light));
        painter.drawPolygon(arrow.translated(1, 1));
        painter.setBrush(palette().color(QPalette::Mid));
    } else {
        painter.setBrush(palette().color(QPalette::Active, QPalette::ButtonText));
    }
    painter.drawPolygon(arrow);
}
