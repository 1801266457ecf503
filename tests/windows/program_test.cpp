#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/app.h"
#include "platform/platform.h"
#include "tests/windows/registry_value.h"
#include "tests/windows/windows_test_support.h"

// The program as a user starts it: its own process and window, under the test
// run's display and sound server.
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(90);
constexpr auto kDrawTimeout = std::chrono::seconds(60);
constexpr DWORD kExitTimeoutMs = 60000;
constexpr int kTopBarHeight = 64;  // the band at 96 dpi that holds the title and the capture state
constexpr COLORREF kErrorRed = RGB(0xF4, 0x3F, 0x5E);

std::wstring ProgramPath() { return PathUnderWine(WAVELIFT_PROGRAM_PATH); }

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EveryLineEndsInCrLf(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return text.find("\r\n") != std::string::npos;
}

std::filesystem::path StartupLogPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::filesystem::path(temp) / L"wavelift.exe.startup.log";
}

// The screen's pixels in a rectangle, row by row, as 0x00RRGGBB.
std::vector<uint32_t> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Counts screen pixels of one colour (within a small tolerance) in a rectangle.
int CountPixels(const RECT& area, COLORREF color) {
    const std::vector<uint32_t> pixels = ScreenPixels(area);
    auto closeTo = [](int a, int b) { return std::abs(a - b) <= 8; };
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [&](uint32_t p) {
        return closeTo((p >> 16) & 0xFF, GetRValue(color)) && closeTo((p >> 8) & 0xFF, GetGValue(color)) &&
               closeTo(p & 0xFF, GetBValue(color));
    }));
}

class RunningProgram {
public:
    RunningProgram() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process) != FALSE;
    }
    ~RunningProgram() {
        if (!started) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 2);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // The shown main window, or null.
    HWND WaitForWindow() const {
        HWND found = nullptr;
        WaitFor([&] {
            found = FindWindowW(L"WaveliftMainWindow", L"Wavelift");
            return found != nullptr && IsWindowVisible(found);
        }, kStartTimeout);
        return found != nullptr && IsWindowVisible(found) ? found : nullptr;
    }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit() const {
        WaitForSingleObject(process.hProcess, kExitTimeoutMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    bool started = false;

private:
    PROCESS_INFORMATION process = {};
};

}  // namespace

TEST(ProgramUnderWine, StartsShowsTheCaptureErrorAndSavesSettingsOnClose) {
    ComApartment com;
    ScopedRegistryString logging(L"SOFTWARE\\Brightmoor", L"logging");
    logging.Set(L"1");
    const std::filesystem::path settingsFile =
        platform::GetKnownFolderPath(platform::KnownFolder::RoamingAppData) / L"Wavelift" / L"settings.json";
    std::filesystem::remove(settingsFile);
    std::filesystem::remove(StartupLogPath());

    RunningProgram program;
    ASSERT_TRUE(program.started) << "cannot start " << std::filesystem::path(ProgramPath());
    const HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr) << "no visible window of class WaveliftMainWindow titled Wavelift";

    RECT outer = {};
    GetWindowRect(window, &outer);
    const float scale = static_cast<float>(GetDpiForWindow(window)) / 96.0f;
    EXPECT_EQ(outer.right - outer.left, static_cast<int>(1100 * scale));
    EXPECT_EQ(outer.bottom - outer.top, static_cast<int>(460 * scale));

    // Without loopback support the top bar shows the capture error in red.
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const RECT topBar = {origin.x, origin.y, origin.x + client.right,
                         origin.y + static_cast<LONG>(kTopBarHeight * scale)};
    EXPECT_TRUE(WaitFor([&] { return CountPixels(topBar, kErrorRed) > 10; }, kDrawTimeout))
        << "no error-red text in the top bar";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);

    ASSERT_TRUE(std::filesystem::exists(settingsFile)) << settingsFile;
    const std::string settings = ReadAll(settingsFile);
    EXPECT_TRUE(EveryLineEndsInCrLf(settings)) << settings;
    EXPECT_NE(settings.find("\"bufferSeconds\""), std::string::npos);

    const std::string log = ReadAll(StartupLogPath());
    EXPECT_NE(log.find("Font atlas packing: sources=6 fonts=3"), std::string::npos) << log;
    EXPECT_NE(log.find("textureLimit="), std::string::npos);
    EXPECT_NE(log.find("Font atlas CreateShaderResourceView complete: HRESULT=0x00000000\r\n"), std::string::npos);
    EXPECT_TRUE(EveryLineEndsInCrLf(log));
    std::filesystem::remove(StartupLogPath());
}

// Without loopback support under Wine the history stays silent, so each lane
// shows its centre line in the envelope's blue across the whole panel.
TEST(ProgramUnderWine, DrawsTheWaveformLanesAcrossThePanel) {
    RunningProgram program;
    ASSERT_TRUE(program.started) << "cannot start " << std::filesystem::path(ProgramPath());
    const HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr) << "no visible window of class WaveliftMainWindow titled Wavelift";

    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const float scale = static_cast<float>(GetDpiForWindow(window)) / 96.0f;
    const Rect wave = ComputeMainLayout(0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom), scale).waveform;
    const int left = origin.x + static_cast<int>(wave.x0) + 2;
    const int right = origin.x + static_cast<int>(wave.x1) - 2;
    const float laneHeight = (wave.y1 - wave.y0) * 0.5f;
    const auto blue = [](uint32_t p) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        return b >= 110 && b > r + 50 && g > r;
    };
    for (const float centre : {wave.y0 + laneHeight * 0.5f, wave.y0 + laneHeight * 1.5f}) {
        const int y = origin.y + static_cast<int>(centre);
        const RECT band = {left, y - 2, right, y + 3};
        int columns = 0;
        const bool drawn = WaitFor(
            [&] {
                const std::vector<uint32_t> pixels = ScreenPixels(band);
                columns = 0;
                for (int x = 0; x < right - left; ++x) {
                    bool found = false;
                    for (int row = 0; row < 5; ++row) found = found || blue(pixels[static_cast<size_t>(row) * (right - left) + x]);
                    columns += found;
                }
                return columns > (right - left) * 9 / 10;
            },
            kDrawTimeout);
        EXPECT_TRUE(drawn) << "the lane centred at " << centre << " shows its line in " << columns << " of "
                           << right - left << " columns";
    }

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

namespace {

struct CommandOutcome {
    DWORD exitCode = STILL_ACTIVE;
    std::string out;  // its first line
    std::string err;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// Runs the program with arguments, its standard output and error in files, as a shell would redirect them.
CommandOutcome RunProgramCommand(const std::wstring& arguments) {
    // Fresh names each time: Wine's background services, started by the first command, keep its handles open.
    static int commands = 0;
    const std::wstring stem = L"wavelift-command-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++commands);
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::filesystem::path outFile = folder / (stem + L".out"), errFile = folder / (stem + L".err");
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const auto create = [&](const std::filesystem::path& path) {
        return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = create(outFile), err = create(errFile);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    CommandOutcome outcome;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 3);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    outcome.out = FirstLine(ReadAll(outFile));
    outcome.err = ReadAll(errFile);
    std::error_code ignored;
    std::filesystem::remove(outFile, ignored);
    std::filesystem::remove(errFile, ignored);
    return outcome;
}

}  // namespace

// Without loopback under Wine the running program has no audio, and says so
// through the same WM_COPYDATA answer that carries a saved file's path.
TEST(ProgramUnderWine, GrabCommandAsksTheRunningProgramAndPrintsItsAnswer) {
    const CommandOutcome alone = RunProgramCommand(L"--grab 2");
    EXPECT_EQ(alone.exitCode, 1u);
    EXPECT_EQ(FirstLine(alone.err), "Wavelift is not running");
    const CommandOutcome bad = RunProgramCommand(L"--grab 11");
    EXPECT_EQ(bad.exitCode, 2u);
    EXPECT_NE(bad.err.find("Usage: wavelift"), std::string::npos) << bad.err;

    RunningProgram program;
    ASSERT_TRUE(program.started) << "cannot start " << std::filesystem::path(ProgramPath());
    const HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    const CommandOutcome asked = RunProgramCommand(L"--grab 2");
    EXPECT_EQ(asked.exitCode, 1u);
    EXPECT_EQ(FirstLine(asked.err), "No audio to save yet");
    EXPECT_EQ(asked.out, "");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}
