#pragma once

#include "dialogs/CDialog.h"

#include <QStringList>

// What an operation could not do, shown once at its end: one line per file, each with its reason
// ("/pub/a.bin: Skipped"). Modeless; the window deletes itself when closed.
class FailureListDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdText = 100, IdList = 101 };

    // Opens the window when there is anything to show; the window, or nullptr.
    static FailureListDialog *open(QWidget *parent, const QString &caption, const QString &text,
                                   const QStringList &failures);

    QStringList failures() const { return failures_; }

private:
    FailureListDialog(QWidget *parent, const QString &caption, const QString &text, const QStringList &failures);

    QStringList failures_;
};
