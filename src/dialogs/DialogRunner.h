#pragma once

class QDialog;

// Runs the shell's modal dialogs. The program shows them (exec); a test substitutes a runner that
// fills in and presses the dialog's controls instead.
class DialogRunner
{
public:
    virtual ~DialogRunner() = default;
    // The dialog's result: QDialog::Accepted or QDialog::Rejected.
    virtual int run(QDialog &dialog);
};
