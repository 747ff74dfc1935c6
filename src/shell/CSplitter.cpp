#include "shell/CSplitter.h"

#include "panes/CommandIds.h"
#include "panes/Window.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/LeadingInteger.h"

#include <QMouseEvent>
#include <QRubberBand>

namespace {

constexpr int kValueBuffer = 10; // nine characters and the terminating NUL

// A stored flag or number; fallback when the value is missing.
int storedNumber(const QString &name, int fallback)
{
    QString text;
    return GetAppValue(name, text, kValueBuffer) == 0 ? LeadingInteger(text) : fallback;
}

} // namespace

CSplitter::CSplitter(ConnectionManager *pool, QWidget *parent) : QWidget(parent), pool_(pool)
{
    setMouseTracking(true); // the sizing cursor follows the pointer over the bar
    readValues();
    Window::setPanesStacked(!splitVertical_);
    panes_[1] = new Window(this, 1, pool);
    panes_[0] = new Window(this, 0, pool);
    for (Window *pane : {panes_[0], panes_[1]}) {
        if (pool && !pool->panes().contains(pane))
            pool->addPane(pane);
    }
    tracker_ = new QRubberBand(QRubberBand::Line, this);
    panes_[1]->setVisible(showTwo_);
    layoutPanes();
}

CSplitter::~CSplitter()
{
    writeValues();
    // The panes go with this widget; the pool must not report to them any more.
    for (Window *pane : panes_) {
        if (pool_)
            pool_->removePane(pane);
    }
}

void CSplitter::readValues()
{
    position_ = storedNumber(QStringLiteral("SplitterPos"), MiddlePosition);
    showTwo_ = storedNumber(QStringLiteral("ShowTwo"), 1) != 0;
    splitVertical_ = storedNumber(QStringLiteral("SplitVertical"), 1) != 0;
}

void CSplitter::writeValues() const
{
    // The position of a single pane means nothing; the last one used with two is kept.
    if (showTwo_ && position_ != MiddlePosition)
        SetAppValue(QStringLiteral("SplitterPos"), QString::number(position_));
    SetAppValue(QStringLiteral("ShowTwo"), QString::number(showTwo_ ? 1 : 0));
    SetAppValue(QStringLiteral("SplitVertical"), QString::number(splitVertical_ ? 1 : 0));
}

int CSplitter::position() const
{
    return position_ == MiddlePosition ? (extent() - BarWidth) / 2 : position_;
}

void CSplitter::layoutPanes()
{
    const int w = width();
    const int h = height();
    const int p = position();
    if (!showTwo_) {
        panes_[1]->hide();
        panes_[0]->setGeometry(0, 0, w, h);
        return;
    }
    if (splitVertical_) {
        panes_[0]->setGeometry(0, 0, qMin(p, w), h);
        panes_[1]->setGeometry(p + BarWidth, 0, qMax(0, w - p - BarWidth), h);
    } else {
        panes_[0]->setGeometry(0, 0, w, qMin(p, h));
        panes_[1]->setGeometry(0, p + BarWidth, w, qMax(0, h - p - BarWidth));
    }
    panes_[1]->show();
}

void CSplitter::setShowTwo(bool show)
{
    showTwo_ = show;
    layoutPanes();
    emit arrangementChanged();
}

void CSplitter::setSplitVertical(bool vertical)
{
    splitVertical_ = vertical;
    Window::setPanesStacked(!vertical);
    layoutPanes();
    // The arrows move between the top and the side of a pane even when its size stays.
    for (Window *pane : panes_)
        pane->Layout();
    emit arrangementChanged();
}

bool CSplitter::handleCommand(int id)
{
    switch (id) {
    case Cmd::SplitWindow:
        setShowTwo(!showTwo_);
        return true;
    case Cmd::SplitVertically:
        setSplitVertical(!splitVertical_);
        return true;
    default:
        return false;
    }
}

bool CSplitter::commandState(int id, CommandState &state)
{
    switch (id) {
    case Cmd::SplitWindow:
        state = {true, showTwo_};
        return true;
    case Cmd::SplitVertically:
        state = {true, splitVertical_};
        return true;
    default:
        return false;
    }
}

void CSplitter::resizeEvent(QResizeEvent *)
{
    layoutPanes();
}

int CSplitter::along(const QPoint &point) const
{
    return splitVertical_ ? point.x() : point.y();
}

int CSplitter::extent() const
{
    return splitVertical_ ? width() : height();
}

bool CSplitter::inGrabZone(const QPoint &point) const
{
    const int at = along(point);
    return showTwo_ && at >= position() && at < position() + GrabWidth;
}

QRect CSplitter::barRect(int position) const
{
    return splitVertical_ ? QRect(QPoint(position, 1), QPoint(position + BarWidth, height() - 1))
                          : QRect(QPoint(1, position), QPoint(width() - 1, position + BarWidth));
}

QRect CSplitter::trackingBar() const
{
    return dragging_ ? tracker_->geometry() : QRect();
}

void CSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !inGrabZone(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    tracker_->setGeometry(barRect(position()));
    tracker_->raise();
    tracker_->show();
}

void CSplitter::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (!dragging_) {
        const Qt::CursorShape sizing = splitVertical_ ? Qt::SizeHorCursor : Qt::SizeVerCursor;
        setCursor(inGrabZone(at) ? sizing : Qt::ArrowCursor);
        return;
    }
    position_ = qMax(DragMargin, qMin(along(at), extent() - DragMargin));
    tracker_->setGeometry(barRect(position_));
}

void CSplitter::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !dragging_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    tracker_->hide();
    layoutPanes();
}
