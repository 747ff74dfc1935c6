#pragma once

#include <QMimeData>
#include <QPointer>

class Window;

// What a drag out of a pane's list carries: the pane it came from. The drop copies that pane's
// selection, as the transfer arrow towards the pane it lands on does. Only this program reads it.
class PaneDrag : public QMimeData
{
    Q_OBJECT
public:
    static constexpr const char *Format = "application/x-vemalftp-pane-selection";

    explicit PaneDrag(Window *source);
    Window *source() const { return source_; }

private:
    QPointer<Window> source_;
};
