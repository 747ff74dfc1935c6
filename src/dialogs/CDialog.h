#pragma once

#include <QDialog>

// The base of the program's dialogs. A centred dialog places itself in the middle of the screen
// it opens on when it is shown.
class CDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CDialog(QWidget *parent = nullptr, bool centred = true);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool centred_;
};
