#pragma once

#include "dialogs/CDialog.h"

class Prompt;
class QLineEdit;

// "Create New Directory": the name of a directory to make in the folder shown. OK keeps the
// dialog open while the name could not be one directory's name: empty, "." or "..", or holding a
// "/", a "\" (local paths are written with either), a NUL or a line break.
class DirectoryNameDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdText = 17003, IdName = 101 };
    static constexpr int MaxLength = 255;

    DirectoryNameDialog(QWidget *parent, const QString &path, Prompt &prompt);

    QString name() const;
    // Whether a typed name names one entry of the folder and nothing else.
    static bool isUsableName(const QString &name);

public slots:
    void accept() override;

private:
    Prompt &prompt_;
    QLineEdit *name_;
};
