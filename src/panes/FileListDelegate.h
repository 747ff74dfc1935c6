#pragma once

#include <QStyledItemDelegate>

// Draws the file list's items and reports in-place label editing instead of writing the new
// text into the list: a rename is finished by the pane, which changes the text when it succeeds.
class FileListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

signals:
    void editStarted(int row) const;
    void editCommitted(int row, const QString &text) const;
};
