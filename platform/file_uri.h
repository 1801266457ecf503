#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// file:// URIs as exchanged with the desktop (drag-and-drop, file manager,
// folder portal). Paths are absolute; their UTF-8 bytes are percent-encoded.

// Escapes every byte except unreserved characters and '/'.
std::string PercentEncodePath(std::string_view utf8Path);

// Decodes %XX escapes; a '%' not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

// "file://" followed by the encoded absolute path.
std::string FileUriFromPath(const std::filesystem::path& absolutePath);

// The local path a file URI names: accepts "file:///…" and "file://localhost/…";
// anything else (another scheme or host, no path, an encoded NUL) gives nothing.
std::optional<std::filesystem::path> PathFromFileUri(std::string_view uri);
