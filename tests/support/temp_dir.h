#pragma once
#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "wavelift-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return dir; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return dir / name; }

private:
    std::filesystem::path dir;
};
