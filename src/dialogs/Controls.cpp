#include "dialogs/Controls.h"

#include "ftp/RemoteName.h"
#include "platform/SafeText.h"

#include <QLineEdit>
#include <QListWidget>

namespace Controls {

QLineEdit *readOnlyEdit(int id, const QString &text)
{
    auto *edit = named(new QLineEdit(text), id);
    edit->setReadOnly(true);
    return edit;
}

namespace {

QString rowText(const QListWidget *list, int row)
{
    return list->item(row)->data(Qt::UserRole).toString();
}

void append(QListWidget *list, const QStringList &lines, qsizetype from)
{
    for (qsizetype i = from; i < lines.size(); ++i) {
        auto *item = new QListWidgetItem(shown(lines.at(i)));
        item->setData(Qt::UserRole, lines.at(i)); // the record's own text, for the comparisons
        list->addItem(item);
    }
}

// The list shows lines exactly when its ends match theirs.
bool endsMatch(const QListWidget *list, int first, const QStringList &lines)
{
    return rowText(list, first) == lines.first() && rowText(list, first + int(lines.size()) - 1) == lines.last();
}

} // namespace

void mirrorLines(QListWidget *list, const QStringList &lines)
{
    const int count = list->count();
    const int wanted = int(lines.size());
    if (wanted == 0) {
        list->clear();
        return;
    }
    if (count >= wanted && endsMatch(list, count - wanted, lines)) {
        for (int i = 0; i < count - wanted; ++i) // taken from the front
            delete list->takeItem(0);
        return;
    }
    if (count >= wanted && endsMatch(list, 0, lines)) {
        while (list->count() > wanted) // taken from the back
            delete list->takeItem(list->count() - 1);
        return;
    }
    if (count < wanted && (count == 0 || (rowText(list, 0) == lines.first() && rowText(list, count - 1) == lines.at(count - 1)))) {
        append(list, lines, count); // lines added at the back
        return;
    }
    list->clear();
    append(list, lines, 0);
}

QString shown(const QString &text)
{
    return safeText(shownRemoteName(text));
}

} // namespace Controls
