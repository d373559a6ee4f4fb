#include "win32/processwatch.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/win32_test_util.h"

namespace kivo {
namespace {

// A command interpreter that waits a moment and ends with the given code.
HANDLE StartExit(int code, int pings) {
    std::string command = "cmd.exe /c ping -n " + std::to_string(pings) +
                          " 127.0.0.1 >nul & exit " + std::to_string(code);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Programs ending in any order each come back once, with their code, on this thread; the wait
// takes no thread per program.
TEST(ProcessWatch, EachEndComesBackOnceWithItsCode) {
    test::InitApp();
    TProcessWatch watch;
    std::map<std::uint64_t, std::uint32_t> ended;
    const DWORD thread = GetCurrentThreadId();
    bool otherThread = false;
    watch.OnEnded = [&](std::uint64_t token, std::optional<std::uint32_t> code) {
        otherThread |= GetCurrentThreadId() != thread;
        ++ended[token];
        ended[token + 1000] = code.value_or(999);
    };
    const int threadsBefore = test::ThreadsOfThisProcess();
    constexpr int Programs = 20;
    for (int i = 0; i < Programs; ++i) {
        HANDLE process = StartExit(i, 1 + (Programs - i) % 3); // the later ones end first, too
        ASSERT_TRUE(process);
        EXPECT_TRUE(watch.Watch(process, static_cast<std::uint64_t>(i + 1)));
    }
    const int threadsWatching = test::ThreadsOfThisProcess();
    ASSERT_TRUE(test::PumpUntil([&] { return watch.Watching() == 0; }, 30000));
    EXPECT_FALSE(otherThread);
    for (int i = 0; i < Programs; ++i) {
        EXPECT_EQ(ended[i + 1], 1u) << i;
        EXPECT_EQ(ended[i + 1001], static_cast<std::uint32_t>(i));
    }
    EXPECT_LE(threadsWatching - threadsBefore, 3) << "no thread per program";

    // One still running when the watch goes is let go, without a word.
    std::uint64_t late = 0;
    {
        TProcessWatch short_lived;
        short_lived.OnEnded = [&](std::uint64_t token, std::optional<std::uint32_t>) {
            late = token;
        };
        HANDLE process = StartExit(0, 3);
        ASSERT_TRUE(process);
        short_lived.Watch(process, 7);
    }
    test::PumpFor(3500);
    EXPECT_EQ(late, 0u);

    // A handle the system cannot wait for is not watched, and says so.
    EXPECT_FALSE(watch.Watch(nullptr, 8));
    EXPECT_EQ(watch.Watching(), 0u);
}

} // namespace
} // namespace kivo
