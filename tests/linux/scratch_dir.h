#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>

// A fresh folder under /tmp for one test, removed with its content.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wavelift-desktop-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) dir = pattern;
    }
    ~ScratchDir() {
        std::error_code error;
        if (!dir.empty()) std::filesystem::remove_all(dir, error);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return dir; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return dir / name; }

private:
    std::filesystem::path dir;
};
