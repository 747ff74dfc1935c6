#include "dialogs/DialogRunner.h"

#include <QDialog>

namespace {
DialogRunner *installed = nullptr;
}

int DialogRunner::run(QDialog &dialog)
{
    return dialog.exec();
}

DialogRunner &DialogRunner::current()
{
    static DialogRunner shown;
    return installed ? *installed : shown;
}

void DialogRunner::install(DialogRunner *runner)
{
    installed = runner;
}
