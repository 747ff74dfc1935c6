#include "panes/FileListDelegate.h"

#include <QLineEdit>

QWidget *FileListDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    emit editStarted(index.row());
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void FileListDelegate::setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const
{
    if (const auto *line = qobject_cast<QLineEdit *>(editor))
        emit editCommitted(index.row(), line->text());
}
