#include "win32/processwatch.h"

namespace kivo {

namespace {

constexpr char kWatchWindowClass[] = "TKivoProcessWatchWindow";
constexpr UINT kEndedMessage = WM_USER + 1;

} // namespace

TProcessWatch::TProcessWatch() {
    WindowClassInfo info;
    info.name = kWatchWindowClass;
    info.background = nullptr;
    CreateWindowOf(info, 0, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

TProcessWatch::~TProcessWatch() {
    OnEnded = nullptr;
    waits_.clear();
    DestroyHwnd();
}

// Waits until a callback under way has finished, so that the record can go.
TProcessWatch::Waiting::~Waiting() {
    if (wait) UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    CloseHandle(process);
}

bool TProcessWatch::Watch(ProcessHandle process, std::uint64_t token) {
    if (!process) return false;
    auto waiting = std::make_unique<Waiting>(static_cast<HANDLE>(process), Hwnd(), token);
    if (!RegisterWaitForSingleObject(&waiting->wait, waiting->process, &TProcessWatch::Ended,
                                     waiting.get(), INFINITE, WT_EXECUTEONLYONCE)) {
        waiting->wait = nullptr;
        return false; // not watched: no end to tell; the handle closes with the record
    }
    waits_[token] = std::move(waiting);
    return true;
}

// On a wait thread of the pool: only post.
void CALLBACK TProcessWatch::Ended(void* context, BOOLEAN) {
    auto* waiting = static_cast<Waiting*>(context);
    PostMessageA(waiting->window, kEndedMessage, 0, static_cast<LPARAM>(waiting->token));
}

LRESULT TProcessWatch::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kEndedMessage) return DefaultMessage(message, wParam, lParam);
    const auto token = static_cast<std::uint64_t>(lParam);
    auto it = waits_.find(token);
    if (it == waits_.end()) return 0;
    std::optional<std::uint32_t> code;
    if (DWORD read = 0; GetExitCodeProcess(it->second->process, &read)) code = read;
    waits_.erase(it);
    if (OnEnded) OnEnded(token, code);
    return 0;
}

} // namespace kivo
