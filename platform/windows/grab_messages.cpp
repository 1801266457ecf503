#include "platform/windows/grab_messages.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace platform::grab {

namespace {

// Tags of the WM_COPYDATA kinds, so that other senders' data is not mistaken for ours.
constexpr ULONG_PTR kRequestTag = 0x57474752;  // "WGGR"
constexpr ULONG_PTR kSavedTag = 0x57474753;
constexpr ULONG_PTR kFailedTag = 0x57474746;
constexpr UINT kReplyTimeoutMs = 5000;

struct Request {
    double seconds;
    uint64_t replyWindow;
};

class ReplyWindow {
public:
    ReplyWindow() {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = Receive;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassExW(&windowClass);
        window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
        if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ReplyWindow() {
        if (window != nullptr) DestroyWindow(window);
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
    }
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;

    HWND window = nullptr;
    bool answered = false;
    GrabReply reply;

private:
    static constexpr wchar_t kClass[] = L"WaveliftGrabReply";

    static LRESULT CALLBACK Receive(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ReplyWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message != WM_COPYDATA || self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData != kSavedTag && data->dwData != kFailedTag) return FALSE;
        std::string text(static_cast<const char*>(data->lpData), data->cbData);
        (data->dwData == kSavedTag ? self->reply.path : self->reply.error) = std::move(text);
        self->answered = true;
        return TRUE;
    }
};

}  // namespace

bool ReadRequest(const COPYDATASTRUCT& data, double& seconds, HWND& replyTo) {
    if (data.dwData != kRequestTag || data.cbData != sizeof(Request) || data.lpData == nullptr) return false;
    Request request;
    std::memcpy(&request, data.lpData, sizeof(request));
    seconds = request.seconds;
    replyTo = reinterpret_cast<HWND>(static_cast<uintptr_t>(request.replyWindow));
    return IsWindow(replyTo) != FALSE;
}

void SendReply(HWND replyTo, HWND from, const GrabReply& reply) {
    const bool saved = !reply.path.empty();
    const std::string& text = saved ? reply.path : reply.error;
    COPYDATASTRUCT data = {saved ? kSavedTag : kFailedTag, static_cast<DWORD>(text.size()),
                           const_cast<char*>(text.data())};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG, kReplyTimeoutMs, &ignored);
}

}  // namespace platform::grab

namespace platform {

GrabReply RequestGrabFromRunningProgram(double seconds) {
    const HWND program = FindWindowW(grab::kMainWindowClass, nullptr);
    if (program == nullptr) return {.path = {}, .error = "Wavelift is not running"};
    grab::ReplyWindow inbox;
    if (inbox.window == nullptr) return {.path = {}, .error = "Cannot ask Wavelift: no window for its answer"};

    grab::Request request = {seconds, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(inbox.window))};
    COPYDATASTRUCT data = {grab::kRequestTag, static_cast<DWORD>(sizeof(request)), &request};
    DWORD_PTR accepted = 0;
    // The answer arrives as a message sent to `inbox` while this call waits.
    if (!SendMessageTimeoutW(program, WM_COPYDATA, reinterpret_cast<WPARAM>(inbox.window),
                             reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, grab::kReplyTimeoutMs, &accepted))
        return {.path = {}, .error = "Wavelift did not answer in time"};
    if (!inbox.answered) return {.path = {}, .error = "Wavelift is not running"};
    return inbox.reply;
}

}  // namespace platform
