#include "panes/FileListDelegate.h"

#include <QLineEdit>

FileListDelegate::FileListDelegate(EditGuard mayEdit, QObject *parent)
    : QStyledItemDelegate(parent), mayEdit_(std::move(mayEdit))
{
}

QWidget *FileListDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    if (mayEdit_ && !mayEdit_(index.row()))
        return nullptr; // the view then does not edit
    emit editStarted(index.row());
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void FileListDelegate::setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const
{
    const auto *line = qobject_cast<QLineEdit *>(editor);
    if (line && index.isValid() && line->text() != index.data(Qt::EditRole).toString())
        emit editCommitted(index.row(), line->text());
}

// The item's own size with its text's width swapped for the widest name's (a few pixels spare
// for what the measure of the widest leaves out).
QSize FileListDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (nameWidth_ > 0) {
        const int own = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        size.setWidth(qMax(size.width(), size.width() - own + nameWidth_ + 4));
    }
    return size;
}
