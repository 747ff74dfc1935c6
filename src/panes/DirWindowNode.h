#pragma once

#include <QTreeWidgetItem>

// A node of the location tree. Siblings sort by text without regard to case, the way people read
// a folder; names that differ only in case keep a fixed order among themselves.
class DirWindowNode : public QTreeWidgetItem
{
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 100;
    // What a drive stands for ("Home"), shown before its letter; the letter stays its name.
    static constexpr int LabelRole = Qt::UserRole + 10;

    explicit DirWindowNode(const QString &text);

    // Shown: a host's name bytes that were no UTF-8 read as Latin-1. The node keeps the name as
    // the program holds it (nodeName), since paths are built from it.
    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem &other) const override;
};

// The name a node holds: a host, a drive, a folder name as listed.
inline QString nodeName(const QTreeWidgetItem *node)
{
    return node->data(0, Qt::EditRole).toString();
}
