#pragma once

#include <QAbstractButton>

// A 20-by-20 transfer arrow drawn by the program. Its look: normal, pressed while held down, and
// greyed when a pane is not showing a directory (greyed is only a look: it still clicks).
class ArrowButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum Direction { Up, Down, Left, Right };

    explicit ArrowButton(Direction direction, QWidget *parent = nullptr);

    Direction direction() const { return direction_; }
    void setDirection(Direction direction);
    bool greyed() const { return greyed_; }
    void setGreyed(bool greyed);

    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Direction direction_;
    bool greyed_ = false;
};
