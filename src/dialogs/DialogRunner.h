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

    // The runner for questions asked in the middle of an operation that was started without one
    // at hand (the file-exists question of a transfer): the program's own unless one is installed.
    static DialogRunner &current();
    // Installs a runner for those questions; nullptr goes back to the program's own.
    static void install(DialogRunner *runner);
};
