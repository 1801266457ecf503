#pragma once
#include <cstdio>
#include <filesystem>

// File operations that plain streams cannot do safely: creating a file only
// when its name is free, opening only regular files, and replacing a file in
// one step. Each platform links its own implementation.
namespace platform {

enum class NewFileResult { Created, NameTaken, Failed };

// Creates `path` as a new, empty file open for binary writing. Never opens an
// existing file and never writes through a symbolic link: a name that exists
// in any form, a dangling link included, is NameTaken and left alone. On
// Created, `file` is set and belongs to the caller (fclose).
NewFileResult CreateNewFile(const std::filesystem::path& path, std::FILE*& file);

// Opens an existing regular file (links followed) for reading as text, or
// nothing. A FIFO, device or folder is refused without waiting on it.
std::FILE* OpenRegularFile(const std::filesystem::path& path);

// Flushes the stream and has the system write its data to the disk.
bool FlushToDisk(std::FILE* file);

// Renames `from` over `to` in one step, replacing a file at `to` (which keeps
// its permissions), and has the folder's new entry written to the disk. On
// failure both stay as they were.
bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);

enum class MoveResult { Moved, NameTaken, Failed };

// Renames `from` (a symbolic link itself, not what it leads to) to `to` only
// while `to` is free: an existing name of any kind is NameTaken and left alone.
MoveResult MoveToFreeName(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether the user means the file at `path` (links followed) to be rewritten:
// false for a read-only file or another user's; true when there is none.
bool MayReplaceFile(const std::filesystem::path& path);

}  // namespace platform
