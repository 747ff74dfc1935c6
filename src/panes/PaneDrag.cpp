#include "panes/PaneDrag.h"

#include "panes/Window.h"

PaneDrag::PaneDrag(Window *source) : source_(source)
{
    setData(QString::fromLatin1(Format), QByteArray::number(source ? source->paneNumber() : -1));
}
