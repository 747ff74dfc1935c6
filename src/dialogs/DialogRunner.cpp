#include "dialogs/DialogRunner.h"

#include <QDialog>

int DialogRunner::run(QDialog &dialog)
{
    return dialog.exec();
}
