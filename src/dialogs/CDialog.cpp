#include "dialogs/CDialog.h"

#include <QScreen>

CDialog::CDialog(QWidget *parent, bool centred) : QDialog(parent), centred_(centred)
{
}

void CDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!centred_)
        return;
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + area.width() / 2 - width() / 2, area.y() + area.height() / 2 - height() / 2);
}
