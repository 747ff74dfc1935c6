#pragma once

#include "dialogs/CDialog.h"

class Prompt;
class QLineEdit;

// "Change EMail Address": the address sent as the password of anonymous logins. OK stores it in
// EMail; Cancel stores nothing.
class EmailDialog : public CDialog
{
    Q_OBJECT
public:
    explicit EmailDialog(Prompt &prompt, QWidget *parent = nullptr);

    QLineEdit *edit() const { return edit_; }

    void accept() override;

private:
    Prompt &prompt_;
    QLineEdit *edit_;
};
