#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// One line of a transfer stack, as the destination dialog writes it and the stack reads it back:
//
//   /pub/notes.txt -> C:/incoming/notes.txt (1,234) ASCII      download, text mode
//   /pub/site.tar <- C:/work/site.tar (5000000000)              upload, binary
//   /pub/big.iso -> C:/incoming/big.iso (5000 -R 3000)          resumed download: 5000 bytes
//                                                               still to fetch from offset 3000
struct TransferStackLine
{
    QString remotePath;
    QString localPath;
    QString sizeText;        // as written between the parentheses, before any " -R "
    bool download = true;    // " -> "; false for " <- "
    bool ascii = false;
    qint64 size = 0;         // bytes to move (the remaining ones for a resumed download)
    qint64 restartOffset = 0;

    // The parsed line, or nothing when it has no arrow, no size part or an empty path.
    static std::optional<TransferStackLine> parse(const QString &line);

    // The text after the remote path's last "/": what the record shows as the current file.
    QString fileName() const;
};
