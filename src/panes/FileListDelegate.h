#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Draws the file list's items and reports in-place label editing instead of writing the new
// text into the list: a rename is finished by the pane, which changes the text when it succeeds.
// Given the width of the widest name, every item is sized for it: a view that takes one item's
// size for all (uniform sizes) then cuts no name.
class FileListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Asked before an edit of the row starts; false refuses it.
    using EditGuard = std::function<bool(int row)>;

    FileListDelegate(EditGuard mayEdit, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Text width in pixels that every item is made wide enough for; 0 sizes each by its own text.
    void setNameWidth(int width) { nameWidth_ = width; }
    int nameWidth() const { return nameWidth_; }

signals:
    void editStarted(int row) const;
    // Only a text that differs from the label is reported.
    void editCommitted(int row, const QString &text) const;

private:
    EditGuard mayEdit_;
    int nameWidth_ = 0;
};
