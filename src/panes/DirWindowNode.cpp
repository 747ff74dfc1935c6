#include "panes/DirWindowNode.h"

DirWindowNode::DirWindowNode(const QString &text) : QTreeWidgetItem(QStringList{text}, NodeType)
{
}

bool DirWindowNode::operator<(const QTreeWidgetItem &other) const
{
    const QString a = text(0);
    const QString b = other.text(0);
    const int caseless = a.compare(b, Qt::CaseInsensitive);
    return caseless != 0 ? caseless < 0 : a < b;
}
