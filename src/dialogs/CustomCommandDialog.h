#pragma once

#include "dialogs/CDialog.h"

class QPlainTextEdit;

// "Custom Command": lines typed by the user, sent to the host one command each after a CWD to
// the pane's folder.
class CustomCommandDialog : public CDialog
{
    Q_OBJECT
public:
    static constexpr int MaxLength = 999;

    explicit CustomCommandDialog(QWidget *parent);

    // The text to queue: "CWD directory", then every non-empty typed line, each ending "\r\n".
    // Empty when nothing was typed or the folder cannot be sent (it holds a line break).
    static QString commandText(const QString &directory, const QString &typed);

    QString typed() const;

public slots:
    void accept() override;

private:
    QPlainTextEdit *edit_;
};
