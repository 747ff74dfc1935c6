#pragma once

#include <QByteArray>

#include <sys/types.h>

// Copies single entries for the local copy, never through a link: a regular file with its data,
// permission bits and modification time; a link as a link with the same target. Paths are native.
class LocalCopy
{
public:
    enum class Existing {
        Refuse,  // fail with EEXIST when the destination exists in any form
        Replace, // write beside it under a temporary name, then rename over it: the destination
                 // is the old entry or the whole copy, never a part, and a link there is
                 // replaced, not written through
    };

    struct Result
    {
        int error = 0;          // errno value, 0 when done
        bool atSource = false;  // the failure was reading the source, not writing the copy
    };

    static Result copyFile(const QByteArray &source, const QByteArray &dest, Existing existing);
    static Result copyLink(const QByteArray &source, const QByteArray &dest, Existing existing);

    // Creates the folder dest, open only to its owner until the copy ends (see setFolderMode);
    // created is false for a folder that was there already (a link to one is not a folder).
    static int createFolder(const QByteArray &dest, bool &created);
    // Gives a created folder the permission bits of its source folder.
    static int setFolderMode(const QByteArray &dest, mode_t mode);

private:
    static int copyData(int in, int out, off_t size);
    static int readWrite(int in, int out);
    static int finishFile(int out, const struct stat &source);
};
