#pragma once

#include "dialogs/CDialog.h"

// What a file list holds, counted by kind, in total and among the selected items; sizes are the
// files' (binary and ASCII) exact byte counts.
struct DirectoryStats
{
    struct Count
    {
        int selected = 0;
        int total = 0;
    };
    Count ascii, binary, directories, links;
    quint64 selectedBytes = 0;
    quint64 totalBytes = 0;
};

// "Directory Stats for PATH": the counts of a pane's list, selected and in total.
class DirInfoDialog : public CDialog
{
    Q_OBJECT
public:
    DirInfoDialog(QWidget *parent, const QString &path, const DirectoryStats &stats);

    // "1,234,567": groups of three digits from the right, joined by ",".
    static QString withSeparators(quint64 value);
};
