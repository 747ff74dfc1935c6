#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// What a copy between the local disks and a host turns into before any connection is involved:
// local names for remote ones, transfer-stack lines, the destination a user typed, the decision
// on an interrupted download, and the file list of a local tree to upload. The destination dialog
// and the command line both build their work from these.

// --- Names and sizes -------------------------------------------------------------------------

// The name a downloaded file gets locally: the host's name exactly as it is shown (".profile" and
// "a:b?.txt" stay as they are; Linux takes them). Empty when it cannot be a single local name
// ("", ".", "..", or holding "/", "\", a control character, or a transfer-stack arrow " -> " or
// " <- "): such a file is skipped.
QString LocalName(const QString &remoteName);

// One selected file as the destination dialog keeps it: name, " (", size, ")", and " ASCII" for
// a text-mode file. After a tree walk or a local listing the name holds the path below the
// selected directory ("sub/dir/name").
struct FileItem
{
    QString name;
    qint64 size = 0;
    bool ascii = false;
};

// The item text: "notes.txt (1200) ASCII".
QString FileItemText(const QString &name, qint64 size, bool ascii);
// Reads an item back; the size is an exact byte count and may carry "," separators. Nothing when
// the text has no " (" ... ")" size part, no name, or a size rounded for display ("12k", "3M"):
// progress, totals and resume offsets are only ever worked out from exact sizes.
std::optional<FileItem> ParseFileItem(const QString &item);

// The items of a finished tree walk that lie below sourceDirectory, with that prefix removed;
// "DIR: " lines and anything outside the directory are left out.
QStringList ItemsBelow(const QStringList &walkItems, const QString &sourceDirectory);

// --- Transfer-stack lines --------------------------------------------------------------------

// "remote -> local (size)" and " ASCII" for a text-mode file.
QString DownloadLine(const QString &remotePath, const QString &localPath, qint64 size, bool ascii);
// "remote <- local (size)" and " ASCII" for a text-mode file.
QString UploadLine(const QString &remotePath, const QString &localPath, qint64 size, bool ascii);
// "remote -> local (remaining -R offset)": the rest of a file, fetched from offset on.
QString ResumedDownloadLine(const QString &remotePath, const QString &localPath, qint64 remaining,
                            qint64 offset, bool ascii);

// "source -> destination", the text of one file copied between two hosts.
QString HostToHostLine(const QString &sourcePath, const QString &destinationPath);

// --- Destinations ----------------------------------------------------------------------------

// A destination directory as typed: "\" becomes "/", the path starts with "/" (a local path may
// start with its drive instead), a local path without a drive is on C:, and the result ends in
// "/". For "My Computer": "incoming\sub" -> "C:/incoming/sub/", "/" -> "C:/", "d:" -> "d:/".
// For a host: "pub" -> "/pub/", "" -> "/".
QString NormaliseDestination(const QString &host, QString directory);

// --- Interrupted downloads -------------------------------------------------------------------

// Whether a download onto an existing local file can go on where that file ends.
struct ResumeDecision
{
    enum Outcome {
        Resume,          // fetch `remaining` bytes from `offset` on
        AlreadyComplete, // the local file is as large as the listed one: nothing to fetch
        LocalLarger      // the local file is larger: it is not the same file, leave it alone
    };
    Outcome outcome = Resume;
    qint64 offset = 0;
    qint64 remaining = 0;
};

ResumeDecision ContinueInterrupted(qint64 localSize, qint64 listedSize);

// --- Local trees -----------------------------------------------------------------------------

// Every file below a local directory chosen for upload, as items (FileItemText) whose names
// start with the directory's own name: "site/img/logo.png (2048)". Entries of a directory come
// in name order, each subdirectory's files at its place. Hidden files are included.
//
// Not listed, each with a line in problems when given: symbolic links to directories (never
// followed, so a link loop cannot trap the walk), links that lead nowhere, anything but regular
// files (a fifo would block the upload), names a host cannot be sent ("\", control characters),
// folders that cannot be read and folders reached a second time through a mount.
//
// When folders is given it receives every folder that was listed, the chosen one first and each
// before the folders inside it, named as the items are: "site", "site/img", "site/empty".
QStringList ListLocalTree(const QString &nativeDirectory, QStringList *problems = nullptr,
                          QStringList *folders = nullptr);

// The folders of a copied tree that hold no file anywhere below them, the ones a copy of its files
// alone would not make. Both lists name entries below the same place ("site/img", "site/img/a.png");
// the result keeps each folder after the folders that hold it.
QStringList FoldersWithoutFiles(const QStringList &folders, const QStringList &files);

// The native path a file of a downloaded tree gets: relativeRemotePath ("sub/dir/name", as a
// walk's item below the selected directory) under nativeBaseFolder, each part through LocalName.
// Nothing when a part is unsafe or empty, when the path is absolute, or when the result would not
// lie strictly inside the base folder, also through a symbolic link that exists there already
// and leads outside it (or nowhere).
std::optional<QString> LocalPathInside(const QString &nativeBaseFolder, const QString &relativeRemotePath);
