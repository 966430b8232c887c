#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mojing::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path()/name; name is UTF-8.
    std::filesystem::path operator/(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// Makes folder the working folder until the end of the scope.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& folder);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& file);

// The GBK bytes of a UTF-8 literal, for building fixtures.
std::string Gbk(std::string_view utf8);

}  // namespace mojing::test
