#pragma once

#include <QTreeWidgetItem>

// A node of the location tree. Siblings sort by text without regard to case, the way people read
// a folder; names that differ only in case keep a fixed order among themselves.
class DirWindowNode : public QTreeWidgetItem
{
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 100;

    explicit DirWindowNode(const QString &text);

    bool operator<(const QTreeWidgetItem &other) const override;
};
