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
    for (auto& [token, waiting] : waits_) Forget(waiting);
    waits_.clear();
    DestroyHwnd();
}

// Waits until a callback under way has finished, so that its record can go.
void TProcessWatch::Forget(Waiting* waiting) {
    if (waiting->wait) UnregisterWaitEx(waiting->wait, INVALID_HANDLE_VALUE);
    CloseHandle(waiting->process);
    delete waiting;
}

void TProcessWatch::Watch(ProcessHandle process, std::uint64_t token) {
    if (!process) return;
    auto* waiting = new Waiting{static_cast<HANDLE>(process), nullptr, Hwnd(), token};
    waits_[token] = waiting;
    if (!RegisterWaitForSingleObject(&waiting->wait, waiting->process, &TProcessWatch::Ended,
                                     waiting, INFINITE, WT_EXECUTEONLYONCE)) {
        waiting->wait = nullptr;
        waits_.erase(token);
        Forget(waiting); // not watched: no end to tell
    }
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
    Waiting* waiting = it->second;
    waits_.erase(it);
    DWORD code = 0;
    if (!GetExitCodeProcess(waiting->process, &code)) code = 0;
    Forget(waiting);
    if (OnEnded) OnEnded(token, static_cast<std::uint32_t>(code));
    return 0;
}

} // namespace kivo
