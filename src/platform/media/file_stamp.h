// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

namespace sorabune {

// What tells, without reading a file, that it was written to or replaced
// since: the file it is (a package upgrade or an editor's save puts a new one
// in its place, with the mtime it brings along), its size and modification time.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp &) const = default;

    // Of the file at the path, symbolic links followed; none when it cannot be seen.
    static std::optional<FileStamp> of(const char *path)
    {
        struct stat status { };
        return ::stat(path, &status) == 0 ? std::optional(from(status)) : std::nullopt;
    }
    // Of an open file.
    static std::optional<FileStamp> of(int descriptor)
    {
        struct stat status { };
        return ::fstat(descriptor, &status) == 0 ? std::optional(from(status)) : std::nullopt;
    }

private:
    static FileStamp from(const struct stat &status)
    {
        return {status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    }
};

} // namespace sorabune
