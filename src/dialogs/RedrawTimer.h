#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Coalesces a record's changes into redraws of its window: the first change is drawn at once, and
// those that follow within the interval are drawn together when it ends, so that a window redraws
// at most ten times a second however fast its transfer reports.
class RedrawTimer : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 100;

    RedrawTimer(QObject *parent, std::function<void()> redraw);

    // Something changed: draw now, or at the end of the running interval.
    void request();
    // Draws now whatever is pending (the record ended).
    void flush();
    int redraws() const { return redraws_; }

private:
    void draw();
    void intervalEnded();

    std::function<void()> redraw_;
    QTimer timer_;
    bool pending_ = false;
    int redraws_ = 0;
};
