#pragma once

#include "panes/CommandTarget.h"

#include <QRect>
#include <QWidget>

class ConnectionManager;
class QRubberBand;
class Window;

// The frame's client area: the two browser panes side by side (split vertically) or one above
// the other, with a 3-pixel bar between them that the mouse drags; or pane 0 alone. Reads its
// layout from the settings at construction and writes it back when destroyed.
class CSplitter : public QWidget, public CommandTarget
{
    Q_OBJECT
public:
    static constexpr int BarWidth = 3;
    static constexpr int GrabWidth = 4;
    static constexpr int DragMargin = 60;
    // No stored position: the bar stays in the middle until the user moves it.
    static constexpr int MiddlePosition = -1;

    explicit CSplitter(ConnectionManager *pool, QWidget *parent = nullptr);
    ~CSplitter() override;

    Window *pane(int number) const { return panes_[number]; }
    // The bar's position in pixels from the left (or top) edge.
    int position() const;
    bool showTwo() const { return showTwo_; }
    bool splitVertical() const { return splitVertical_; }
    bool dragging() const { return dragging_; }
    // The tracking bar while dragging; empty otherwise.
    QRect trackingBar() const;

    void setShowTwo(bool show);
    void setSplitVertical(bool vertical);
    void layoutPanes();

    bool handleCommand(int id) override;
    bool commandState(int id, CommandState &state) override;

signals:
    // The panes were shown, hidden or rearranged by a command.
    void arrangementChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void readValues();
    void writeValues() const;
    int along(const QPoint &point) const; // the coordinate on the split axis
    int extent() const;                   // the client size on the split axis
    bool inGrabZone(const QPoint &point) const;
    QRect barRect(int position) const;

    ConnectionManager *pool_;
    Window *panes_[2] = {nullptr, nullptr};
    int position_ = MiddlePosition;
    bool showTwo_ = true;
    bool splitVertical_ = true;
    bool dragging_ = false;
    QRubberBand *tracker_ = nullptr;
};
