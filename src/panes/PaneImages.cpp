// Placeholder pictures; the pane images are being drawn.
#include "panes/PaneImages.h"

const QList<QIcon> &paneImages()
{
    static const QList<QIcon> images(PaneIconCount);
    return images;
}
