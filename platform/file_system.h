#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Files and folders as the program's ANSI calls see them. Every path is GBK text; it is turned
// into the file system's UTF-8 here and nowhere else. Failures are results: no bytes, false, -1.
namespace mojing::platform {

// The whole file; when fewer bytes can be read than its length, the bytes read.
std::string ReadWholeFile(std::string_view path);

// As ReadWholeFile, but nothing while another process holds the file open for writing (a read
// lease stands in for the share mode that denies writers). Read anyway where the file system
// knows no leases.
std::string ReadWholeFileDenyingWriters(std::string_view path);

struct DirectoryEntry {
    std::string name;  // bare name, GBK
    bool isDirectory = false;
};

// The entries of directory whose names match wildcard ('*' and '?', letter case ignored as
// Windows matches), in the order the file system lists them. Nothing when it cannot be read.
std::vector<DirectoryEntry> FindDirectoryEntries(std::string_view directory,
                                                 std::string_view wildcard);

// Size of the file as a directory listing reports it; -1 when there is no such file.
std::int64_t FileSize(std::string_view path);

bool DeleteFile(std::string_view path);

// Opens for appending (created when missing), writes bytes at the end, closes.
bool AppendToFile(std::string_view path, std::string_view bytes);

// Create-always with normal attributes: an existing file is replaced, a missing one created; a
// file marked hidden is refused, as Windows refuses to re-create it, and stays unchanged. The
// bytes go out in one write, and the file gets the given mode.
bool CreateAlwaysAndWrite(std::string_view path, std::span<const unsigned char> bytes,
                          unsigned mode);

// The hidden mark: the name listed in its folder's ".hidden" file, which the Linux file managers
// honour. Other lines of that file are kept; it is removed when our name was its last line.
bool IsMarkedHidden(std::string_view path);
bool SetHiddenMark(std::string_view path);
bool RemoveHiddenMark(std::string_view path);

// A name that can only mean a file in the working folder: no '/', not "." or "..", no NUL, not
// empty, and short enough for the file system.
bool IsPlainFileName(std::string_view name);

bool IsWritableDirectory(std::string_view path);
bool MakeDirectories(std::string_view path);

std::string GetCurrentDirectory();  // empty when it cannot be read
bool SetCurrentDirectory(std::string_view path);

std::string ExecutablePath();  // full path of the running program, empty when unknown

}  // namespace mojing::platform
