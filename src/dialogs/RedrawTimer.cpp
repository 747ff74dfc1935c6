#include "dialogs/RedrawTimer.h"

RedrawTimer::RedrawTimer(QObject *parent, std::function<void()> redraw)
    : QObject(parent), redraw_(std::move(redraw))
{
    timer_.setSingleShot(true);
    timer_.setInterval(IntervalMs);
    connect(&timer_, &QTimer::timeout, this, &RedrawTimer::intervalEnded);
}

void RedrawTimer::request()
{
    if (timer_.isActive()) {
        pending_ = true;
        return;
    }
    draw();
    timer_.start();
}

void RedrawTimer::flush()
{
    if (pending_)
        draw();
}

void RedrawTimer::draw()
{
    pending_ = false;
    ++redraws_;
    redraw_();
}

void RedrawTimer::intervalEnded()
{
    if (!pending_)
        return;
    draw();
    timer_.start();
}
