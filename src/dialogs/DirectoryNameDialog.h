#pragma once

#include "dialogs/CDialog.h"

class Prompt;
class QLineEdit;

// "Create New Directory": the name of a directory to make in the folder shown. OK keeps the
// dialog open while the name could not be one directory's name (isAcceptableRemoteName: the rule
// for every name that reaches a command or the file system).
class DirectoryNameDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdText = 17003, IdName = 101 };
    static constexpr int MaxLength = 255;

    DirectoryNameDialog(QWidget *parent, const QString &path, Prompt &prompt);

    QString name() const;

public slots:
    void accept() override;

private:
    Prompt &prompt_;
    QLineEdit *name_;
};
