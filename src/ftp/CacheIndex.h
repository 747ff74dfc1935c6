#pragma once

#include <QString>

#include <optional>

// An index file of the listing cache ("CACHE.FTC" for hosts, "HST%03i.FTC" for one host's
// directories): one key a line, ended by "\n"; a key's number is its 0-based line number.
//
// Every physical line counts as one, so numbers stay stable whatever the file holds: an empty
// line or a line too long to be a key takes its number and never matches. A last line without
// its "\n" still counts and matches; the next key appended ends it first. A key that could not
// be kept on one line is refused rather than given a number that another key could get later.
class CacheIndex
{
public:
    static constexpr qsizetype MaxLineBytes = 1000; // with its "\n"

    struct Number
    {
        int number = 0;
        bool added = false; // the key was not in the file and has been appended
    };

    // The key's number in the index file at nativePath, appending the key when absent (creating the
    // file). nullopt when the key is empty, too long, or holds a line end or NUL, or when it
    // cannot be appended.
    static std::optional<Number> numberOf(const QString &nativePath, const QString &key);
};
