#pragma once

#include "dialogs/CDialog.h"

// "File Exists": asks what a download does with a local file of the same name. Modal; closing
// the window skips the file.
class FileExistDialog : public CDialog
{
    Q_OBJECT
public:
    enum Choice { Replace = 0, Continue = 1, Skip = 2 };
    enum ControlId { IdText = 100, IdReplace = 101, IdContinue = 102, IdSkip = 104 };

    FileExistDialog(QWidget *parent, const QString &fileName);

    Choice choice() const { return choice_; }

    // Asks through the installed dialog runner.
    static Choice ask(QWidget *parent, const QString &fileName);

public slots:
    void reject() override;

private:
    void choose(Choice choice);

    Choice choice_ = Skip;
};
