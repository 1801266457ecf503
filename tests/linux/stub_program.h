#pragma once
#include <filesystem>
#include <fstream>
#include <string>

// Writes an executable shell script named `name` into `folder`, standing in
// for a desktop tool the program may call.
inline std::filesystem::path WriteStubProgram(const std::filesystem::path& folder, const std::string& name,
                                              const std::string& body) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path script = folder / name;
    std::ofstream(script) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(script, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec);
    return script;
}

// Replaces PATH for the lifetime of a test and puts the old one back.
class ScopedPath {
public:
    explicit ScopedPath(const std::filesystem::path& only) {
        if (const char* old = std::getenv("PATH")) saved = old;
        setenv("PATH", only.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", saved.c_str(), 1); }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    std::string saved;
};
