#pragma once
// The system's wait for the started programs: RegisterWaitForSingleObject with
// WT_EXECUTEONLYONCE per program, on the thread pool's few wait threads (one for up to 63
// programs), whose callback only posts to a hidden window on the UI thread. No thread per
// program and no polling.
#include <windows.h>

#include <cstdint>
#include <map>

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

    void Watch(ProcessHandle process, std::uint64_t token) override;
    std::size_t Watching() const { return waits_.size(); }

private:
    struct Waiting {
        HANDLE process;
        HANDLE wait = nullptr;
        HWND window;
        std::uint64_t token;
    };
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    static void CALLBACK Ended(void* context, BOOLEAN timedOut);
    void Forget(Waiting* waiting);

    std::map<std::uint64_t, Waiting*> waits_;
};

} // namespace kivo
