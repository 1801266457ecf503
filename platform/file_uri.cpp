#include "platform/file_uri.h"

#include "platform/path_text.h"

namespace {

constexpr std::string_view kFileScheme = "file://";
constexpr std::string_view kLocalHost = "localhost";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::string PercentEncodePath(std::string_view utf8Path) {
    std::string encoded;
    encoded.reserve(utf8Path.size() * 3);
    for (const char ch : utf8Path) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || c == '/') {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHexDigits[c >> 4];
            encoded += kHexDigits[c & 0x0F];
        }
    }
    return encoded;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

std::string FileUriFromPath(const std::filesystem::path& absolutePath) {
    return std::string(kFileScheme) + PercentEncodePath(PathToUtf8(absolutePath));
}

std::optional<std::filesystem::path> PathFromFileUri(std::string_view uri) {
    if (!StartsWithNoCase(uri, kFileScheme)) return std::nullopt;
    std::string_view rest = uri.substr(kFileScheme.size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !StartsWithNoCase(host, kLocalHost)) return std::nullopt;
    if (host.size() > kLocalHost.size()) return std::nullopt;
    const std::string path = PercentDecode(rest.substr(slash));
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return Utf8ToPath(path);
}
