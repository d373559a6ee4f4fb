#pragma once
// The system's wait for the started programs: RegisterWaitForSingleObject with
// WT_EXECUTEONLYONCE per program, on the thread pool's few wait threads (one for up to 63
// programs), whose callback only posts to a hidden window on the UI thread. No thread per
// program and no polling.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>

#include "platform/processwatch.h"
#include "win32/window.h"

namespace kivo {

class TProcessWatch : public ProcessWatch, private Window {
public:
    TProcessWatch();
    // Programs still running are let go: their waits end, their handles close, nothing is said.
    ~TProcessWatch() override;
    TProcessWatch(const TProcessWatch&) = delete;
    TProcessWatch& operator=(const TProcessWatch&) = delete;

    bool Watch(ProcessHandle process, std::uint64_t token) override;
    std::size_t Watching() const { return waits_.size(); }

private:
    // One program waited for; it unregisters its wait and closes its handle when it goes.
    struct Waiting {
        Waiting(HANDLE p, HWND w, std::uint64_t t) : process(p), window(w), token(t) {}
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
        HANDLE process;
        HANDLE wait = nullptr;
        HWND window;
        std::uint64_t token;
    };
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    static void CALLBACK Ended(void* context, BOOLEAN timedOut);

    std::map<std::uint64_t, std::unique_ptr<Waiting>> waits_;
};

} // namespace kivo
