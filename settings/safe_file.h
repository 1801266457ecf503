#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The whole content of a regular file; nothing when it is missing, cannot be
// read, holds more than `mostBytes`, or is something else (a FIFO, device or
// folder is never waited on).
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, size_t mostBytes);

// Replaces the content of the file at `path` in one step: a new file beside it
// is written, flushed to disk and renamed over it, so that a failure at any
// point leaves the previous file as it was. A symbolic link at `path` stays a
// link: the file it leads to is replaced. Something other than a regular file
// is never replaced. True when the new content is in place.
bool ReplaceFileContents(const std::filesystem::path& path, std::string_view content);
