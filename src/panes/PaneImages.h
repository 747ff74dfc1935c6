#pragma once

#include <QIcon>
#include <QList>

// The pictures of a pane, shared by its tree and its file list. An item's icon index is its
// type for every command: 0 binary file, 2 text file, anything else folder-like.
enum PaneIcon : int {
    IconBinaryFile = 0,
    IconFolder = 1,
    IconAsciiFile = 2,
    IconLink = 3,
    IconFolderOpen = 4,
    IconFolderPlain = 5,
    IconComputer = 6,
    IconRemovableDrive = 7,
    IconFixedDrive = 8,
    IconNetworkDrive = 9,
    IconCdDrive = 10,
    IconPendingFolder = 11,
    IconPendingFolderOpen = 12,
    IconHomeDrive = 13,
    IconRootDrive = 14,
    PaneIconCount = 15
};

// The pictures in index order: the desktop's icon theme where it has them, drawn by the
// program otherwise. Built once per run.
const QList<QIcon> &paneImages();
inline QIcon paneImage(int index)
{
    const QList<QIcon> &images = paneImages();
    return index >= 0 && index < images.size() ? images.at(index) : QIcon();
}
