// The file list's sizes: the details view's column widths (fitted, dragged, stored per pane)
// and, in List and Small Icons, the item width that fits the widest name.
#include "panes/FileWindow.h"

#include "panes/FileListDelegate.h"
#include "panes/FileListModel.h"
#include "settings/AppValues.h"

#include <QHeaderView>
#include <QTreeView>

namespace {

// The narrowest the Name column is made to fit the free width.
constexpr int MinNameWidth = 80;
// A stored column width above this is not believed.
constexpr int MaxColumnWidth = 10000;

} // namespace

// --- Item sizes (List, Small Icons) ------------------------------------------------------

// The sum of the characters' advances: no shaping, so a little wider than the text drawn where
// pairs kern; names beyond Latin-1 are measured whole.
int FileWindow::measureName(const QString &name) const
{
    int width = 0;
    for (const QChar c : name) {
        if (c.unicode() >= advances_.size())
            return metrics_->horizontalAdvance(name);
        width += advances_[c.unicode()];
    }
    return width;
}

// Items are sized when the view lays them out, which new rows make it do.
void FileWindow::noteName(const QString &name)
{
    if (!sizesItemsByName())
        return;
    const int width = measureName(name);
    if (width <= widestName_)
        return;
    widestName_ = width;
    delegate_->setNameWidth(width);
}

void FileWindow::measureAllNames()
{
    if (!sizesItemsByName())
        return;
    widestName_ = 0;
    model_->forEachText([this](const QString &name) { noteName(name); });
    view_->doItemsLayout();
}

// --- Columns (Details) -------------------------------------------------------------------

void FileWindow::setColumnsPane(int paneNumber)
{
    columnsPane_ = paneNumber;
    readColumnWidths();
}

// Bad or missing values leave every column fitted.
void FileWindow::readColumnWidths()
{
    userWidths_ = {};
    if (columnsPane_ >= 0) {
        const QStringList parts =
            AppValue(QStringLiteral("ListColumns") + QString::number(columnsPane_)).split(QLatin1Char(','));
        std::array<int, 3> read{};
        bool good = parts.size() == int(read.size());
        for (size_t i = 0; good && i < read.size(); ++i) {
            read[i] = parts[qsizetype(i)].trimmed().toInt(&good);
            good = good && read[i] >= 0 && read[i] <= MaxColumnWidth;
        }
        if (good)
            userWidths_ = read;
    }
    fitColumns();
}

void FileWindow::writeColumnWidths()
{
    columnsWriter_.stop();
    if (columnsPane_ < 0)
        return;
    SetAppValue(QStringLiteral("ListColumns") + QString::number(columnsPane_),
                QStringLiteral("%1,%2,%3").arg(userWidths_[0]).arg(userWidths_[1]).arg(userWidths_[2]));
}

// Size: the widest size in the list with its digits at the font's widest; Date: the date format
// the same way; either at least as wide as its header.
int FileWindow::fittedWidth(int column) const
{
    const auto *tree = static_cast<const QTreeView *>(view_);
    const QFontMetrics metrics(tree->font());
    QChar widestDigit = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(digit);
    }
    QString text = column == FileListModel::SizeColumn ? formatSize(model_->largestSize())
                                                        : QStringLiteral("00/00/0000 00:00");
    for (QChar &c : text) {
        if (c.isDigit())
            c = widestDigit;
    }
    const int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    return qMax(metrics.horizontalAdvance(text) + 2 * margin + 6, tree->header()->sectionSizeHint(column));
}

void FileWindow::fitColumns()
{
    auto *tree = qobject_cast<QTreeView *>(view_);
    if (!tree || fittingColumns_)
        return;
    fittingColumns_ = true;
    QHeaderView *header = tree->header();
    int others = 0;
    for (int column : {FileListModel::SizeColumn, FileListModel::DateColumn}) {
        const int width = userWidths_[size_t(column)] ? userWidths_[size_t(column)] : fittedWidth(column);
        header->resizeSection(column, width);
        others += width;
    }
    const int name = userWidths_[FileListModel::NameColumn];
    header->resizeSection(FileListModel::NameColumn,
                          name ? name : qMax(MinNameWidth, tree->viewport()->width() - others));
    fittingColumns_ = false;
}

// A width the user drags is kept (and stored shortly after); the Name column follows the rest.
void FileWindow::columnResized(int column, int newSize)
{
    if (fittingColumns_ || column < 0 || column >= int(userWidths_.size()))
        return;
    userWidths_[size_t(column)] = newSize;
    columnsWriter_.start();
    fitColumns();
}
