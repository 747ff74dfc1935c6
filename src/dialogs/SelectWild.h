#pragma once

#include "dialogs/CDialog.h"

class QCheckBox;
class QLineEdit;

// "Select Using Filter": a filter text and three options for selecting items of a file list. The
// caller presets the fields and reads them back after OK; Cancel leaves them as they were.
class SelectWild : public CDialog
{
    Q_OBJECT
public:
    static constexpr int MaxFilterLength = 499;
    enum ControlId {
        IdNoWildcards = 101,
        IdFilter = 102,
        IdCaseSensitive = 103,
        IdUnselect = 104,
    };

    SelectWild(QWidget *parent, const QString &filter, bool noWildcards, bool caseSensitive,
               bool unselect);

    QString filter() const { return filter_; }
    bool noWildcards() const { return noWildcards_; }
    bool caseSensitive() const { return caseSensitive_; }
    bool unselect() const { return unselect_; }

public slots:
    void accept() override;

private:
    QLineEdit *filterEdit_;
    QCheckBox *noWildcardsBox_;
    QCheckBox *caseSensitiveBox_;
    QCheckBox *unselectBox_;
    QString filter_;
    bool noWildcards_;
    bool caseSensitive_;
    bool unselect_;
};
