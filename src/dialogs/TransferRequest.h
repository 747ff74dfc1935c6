#pragma once

#include "pool/TransferPlan.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One copy as a pane asks for it: what is selected where, and where it goes.
struct TransferRequest {
    QString sourceHost, sourceDirectory;          // "My Computer" + "C:/dir/" for the local disk; hosts: "/dir/"
    QList<FileItem> files;                        // selected files: name, exact size, ascii
    QStringList directories;                      // selected folders and links: names
    QString destinationHost, destinationDirectory; // empty: the dialog asks (host defaults to "My Computer")
    int preset = 0;                               // 0 ask; 1/2: as if the first/second button was pressed
    std::function<void(const QStringList &names, const QString &sourceDir, const QString &destDir)> copyLocally;
};
