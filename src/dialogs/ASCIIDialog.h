#pragma once

#include "dialogs/CDialog.h"

class QLineEdit;
class QListWidget;

// "ASCII Extensions": the extensions of files transferred as text. Every Add and Remove is
// stored at once; Done only closes.
class ASCIIDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdList = 101, IdEntry = 102, IdAdd = 103, IdRemove = 104, IdDone = 1 };
    static constexpr int MaxEntry = 99;

    explicit ASCIIDialog(QWidget *parent);

    QStringList shownExtensions() const;

private:
    void add();
    void removeSelection();
    void insertSorted(const QString &extension);

    QLineEdit *entry_;
    QListWidget *list_;
};
