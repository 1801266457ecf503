#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include "tests/windows/windows_test_support.h"

// The installer as a user runs it, silently: where files, shortcuts and the
// uninstall entry land, an upgrade over a running and a stopped program, and
// what removal leaves. With only a 64-bit Wine a wrong-architecture installer
// does nothing and still exits 0, so every step checks what it left behind.
namespace {

namespace fs = std::filesystem;
constexpr DWORD kRunTimeoutMs = 120000;
constexpr auto kStartTimeout = std::chrono::seconds(90);
constexpr auto kRemovalTimeout = std::chrono::seconds(60);
constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wavelift";

fs::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path);
    fs::path result = path ? path : L"";
    CoTaskMemFree(path);
    return result;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Finished {
    DWORD code = STILL_ACTIVE;
    std::string output;  // standard output and error
    DWORD processId = 0;
};

// Runs a command line to its end with its output in a file. Wine's background
// services started by the child may inherit the file and outlive it, so the
// file goes when the last of them closes it.
Finished RunToEnd(std::wstring commandLine) {
    const fs::path outputFile = fs::temp_directory_path() / L"wavelift-installer-test-output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    Finished result;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, kRunTimeoutMs);
        GetExitCodeProcess(process.hProcess, &result.code);
        if (result.code == STILL_ACTIVE) TerminateProcess(process.hProcess, 2);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        result.processId = process.dwProcessId;
    }
    SetFilePointer(output, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output, buffer, sizeof(buffer), &read, nullptr) && read > 0) result.output.append(buffer, read);
    CloseHandle(output);
    return result;
}

// Waits for the processes a finished process started, such as the uninstaller's
// copy of itself, to end.
bool WaitForChildrenOf(DWORD parent, DWORD timeoutMs) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool ended = true;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent) continue;
        if (HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            ended = WaitForSingleObject(child, timeoutMs) == WAIT_OBJECT_0 && ended;
            CloseHandle(child);
        }
    }
    CloseHandle(snapshot);
    return ended;
}

std::wstring Quoted(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }

std::optional<std::wstring> UninstallString(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return buffer;
}

std::optional<DWORD> UninstallNumber(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool KeyExists(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Where a shortcut points, or empty.
fs::path ShortcutTarget(const fs::path& link) {
    IShellLinkW* shellLink = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shellLink))) &&
        SUCCEEDED(shellLink->QueryInterface(IID_PPV_ARGS(&file))) && SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
        shellLink->GetPath(target, MAX_PATH, nullptr, 0);
    if (file) file->Release();
    if (shellLink) shellLink->Release();
    return target;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

std::set<std::wstring> FileNames(const fs::path& folder) {
    std::set<std::wstring> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().wstring());
    return names;
}

uintmax_t FolderBytes(const fs::path& folder) {
    uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder)) bytes += entry.file_size();
    return bytes;
}

class InstallerUnderWine : public ::testing::Test {
protected:
    ComApartment com;
    const fs::path installer = PathUnderWine(WAVELIFT_INSTALLER_PATH);
    const fs::path shipped = PathUnderWine(WAVELIFT_DIST_PROGRAM_PATH);
    const fs::path folder = KnownFolder(FOLDERID_LocalAppData) / L"Programs" / L"Wavelift";
    const fs::path program = folder / L"wavelift.exe";
    const fs::path startMenuLink = KnownFolder(FOLDERID_Programs) / L"Wavelift.lnk";
    const fs::path desktopLink = KnownFolder(FOLDERID_Desktop) / L"Wavelift.lnk";
    const fs::path settings = KnownFolder(FOLDERID_RoamingAppData) / L"Wavelift" / L"settings.json";
    const fs::path capture = KnownFolder(FOLDERID_Music) / L"Wavelift" / L"installer-test-capture.wav";

    // A clean start: whatever an earlier run left is gone.
    void SetUp() override {
        std::error_code error;
        fs::remove_all(folder, error);
        fs::remove(startMenuLink, error);
        fs::remove(desktopLink, error);
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove(capture, error);
    }

    bool InstalledAsShipped() const { return ReadAll(program) == ReadAll(shipped) && !ReadAll(shipped).empty(); }
};

}  // namespace

TEST_F(InstallerUnderWine, InstallsForTheUserUpgradesInPlaceAndRemovesOnlyWhatItInstalled) {
    const Finished first = RunToEnd(Quoted(installer) + L" /S");
    ASSERT_EQ(first.code, 0u) << first.output;
    EXPECT_EQ(FileNames(folder), (std::set<std::wstring>{L"LICENSE.txt", L"README.md", L"uninstall.exe", L"wavelift.exe"}));
    EXPECT_TRUE(InstalledAsShipped());
    EXPECT_TRUE(SameFile(ShortcutTarget(startMenuLink), program)) << startMenuLink << " -> " << ShortcutTarget(startMenuLink);
    EXPECT_FALSE(fs::exists(desktopLink)) << "the desktop shortcut is only made when asked for";

    const std::wstring dir = folder.wstring();
    EXPECT_EQ(UninstallString(L"DisplayName"), L"Wavelift");
    EXPECT_EQ(UninstallString(L"DisplayVersion"), std::wstring(L"" WAVELIFT_VERSION));
    EXPECT_EQ(UninstallString(L"Publisher"), L"Brightmoor");
    EXPECT_EQ(UninstallString(L"DisplayIcon"), dir + L"\\wavelift.exe,0");
    EXPECT_EQ(UninstallString(L"UninstallString"), L"\"" + dir + L"\\uninstall.exe\"");
    EXPECT_EQ(UninstallString(L"QuietUninstallString"), L"\"" + dir + L"\\uninstall.exe\" /S");
    EXPECT_EQ(UninstallNumber(L"NoModify"), 1u);
    EXPECT_EQ(UninstallNumber(L"NoRepair"), 1u);
    const std::optional<DWORD> kib = UninstallNumber(L"EstimatedSize");
    EXPECT_TRUE(kib.has_value()) << "EstimatedSize is missing or not a DWORD";
    EXPECT_NEAR(static_cast<double>(kib.value_or(0)), FolderBytes(folder) / 1024.0, 4.0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE)) << "a per-user install writes nothing machine-wide";

    // While the installed program runs, a silent install refuses and says why.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION running = {};
    std::wstring commandLine = Quoted(program);
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &running));
    HWND window = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (window = FindWindowW(L"WaveliftMainWindow", L"Wavelift")) != nullptr; },
                        kStartTimeout))
        << "the installed program shows no window";
    if (window) {
        const Finished refused = RunToEnd(Quoted(installer) + L" /S");
        EXPECT_EQ(refused.code, 2u) << refused.output;
        EXPECT_NE(refused.output.find("Wavelift is running"), std::string::npos) << refused.output;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    WaitForSingleObject(running.hProcess, kRunTimeoutMs);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(running.hProcess, &exitCode);
    if (exitCode == STILL_ACTIVE) TerminateProcess(running.hProcess, 2);
    CloseHandle(running.hThread);
    CloseHandle(running.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the installed program's exit code";
    EXPECT_TRUE(fs::exists(settings)) << "the program saves its settings on close: " << settings;

    // An older program in place is replaced, in the same folder.
    std::ofstream(program, std::ios::binary | std::ios::trunc) << "an older build";
    const Finished upgrade = RunToEnd(Quoted(installer) + L" /S /DESKTOPSHORTCUT");
    ASSERT_EQ(upgrade.code, 0u) << upgrade.output;
    EXPECT_TRUE(InstalledAsShipped());
    EXPECT_EQ(FileNames(folder).size(), 4u);
    EXPECT_TRUE(SameFile(ShortcutTarget(desktopLink), program)) << desktopLink << " -> " << ShortcutTarget(desktopLink);

    // Removal as Settings > Apps runs it quietly. The uninstaller returns at once
    // and goes on from a copy of itself in %TEMP%.
    fs::create_directories(capture.parent_path());
    std::ofstream(capture, std::ios::binary) << "RIFF";
    const std::optional<std::wstring> quiet = UninstallString(L"QuietUninstallString");
    ASSERT_TRUE(quiet.has_value());
    const Finished removal = RunToEnd(*quiet);
    EXPECT_EQ(removal.code, 0u) << removal.output;
    EXPECT_TRUE(WaitForChildrenOf(removal.processId, kRunTimeoutMs)) << "the uninstaller's copy did not end";
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(folder) && !fs::exists(startMenuLink) && !fs::exists(desktopLink) &&
                                     !KeyExists(HKEY_CURRENT_USER); },
                        kRemovalTimeout))
        << "after removal: program folder " << fs::exists(folder) << " holding " << FileNames(folder).size()
        << " files, start menu shortcut " << fs::exists(startMenuLink)
        << ", desktop shortcut " << fs::exists(desktopLink) << ", uninstall entry " << KeyExists(HKEY_CURRENT_USER);
    EXPECT_TRUE(fs::exists(settings)) << "removal keeps the user's settings";
    EXPECT_TRUE(fs::exists(capture)) << "removal keeps the user's captures";
}
