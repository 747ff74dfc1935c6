#pragma once

// Helpers shared by the file list tests: lists made and filled from short entry texts.

#include "ftp/PackedDateTime.h"
#include "platform/SettingsStore.h"
#include "settings/AsciiExtensions.h"
#include "support/TestEnvironment.h"
#include "panes/FileWindow.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QStringList>
#include <QTest>

#include <memory>

namespace FileListFixture {

// Points the store at the test's folder and gives it a known list of text-file extensions.
inline bool openStoreWithAsciiList(TestEnvironment &env)
{
    if (!env.setUp())
        return false;
    SettingsStore::reopen();
    if (!SettingsStore::instance().isOpen())
        return false;
    for (const char *extension : {"txt", "htm", "html", "c", "h", "README"})
        if (AddAsciiExtension(QString::fromLatin1(extension)).isEmpty())
            return false;
    return true;
}

using List = std::unique_ptr<FileWindow>;

inline List makeList(int style = FileWindow::Details, bool showDirectories = true)
{
    List list = std::make_unique<FileWindow>(nullptr, showDirectories, style);
    list->resize(500, 400);
    return list;
}

inline bool showList(FileWindow *list)
{
    list->show();
    return QTest::qWaitForWindowExposed(list);
}

// Entries written as "name" (file), "name/" (directory) or "name@" (link), with an optional
// ":size" and ":year-month-day hour:minute:second" date: "b.txt:10:2020-01-02 03:04:06".
inline void addEntries(FileWindow *list, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        QString name = parts.value(0);
        int kind = FileWindow::KindFile;
        if (name.endsWith(QLatin1Char('/')))
            kind = FileWindow::KindDirectory;
        else if (name.endsWith(QLatin1Char('@')))
            kind = FileWindow::KindLink;
        if (kind != FileWindow::KindFile)
            name.chop(1);
        quint32 date = 0;
        if (parts.size() > 2) {
            const QDateTime when = QDateTime::fromString(parts.mid(2).join(QLatin1Char(':')),
                                                         QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            date = PackedDateTime::pack(when.date().year(), when.date().month(), when.date().day(),
                                        when.time().hour(), when.time().minute(), when.time().second());
        }
        list->AddListItem(name, parts.value(1).toULongLong(), date, kind);
    }
}

inline QStringList texts(const FileWindow *list)
{
    QStringList result;
    for (int row = 0; row < list->itemCount(); ++row)
        result << list->itemText(row);
    return result;
}

inline QStringList selectedTexts(const FileWindow *list)
{
    QStringList result;
    for (int row : list->selectedRows())
        result << list->itemText(row);
    return result;
}

inline QPoint centreOf(const FileWindow *list, int row)
{
    list->itemCount(); // the items added last are in the view once the list has been read
    return list->view()->visualRect(list->view()->model()->index(row, 0)).center();
}

// What a real double click delivers: press, release, double click, release.
inline void doubleClick(QWidget *widget, QPoint position)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, position);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, position);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, position);
}

} // namespace FileListFixture
