#include "win32/oneinstance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/errors.h"
#include "support/temp_dir.h"
#include "support/win32_test_util.h"

namespace kivo {
namespace {

std::string OwnPath() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length);
}

bool QuitMessageWaiting() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

TEST(InstanceMutex, NameIsTheUpperCasedFileName) {
    EXPECT_EQ(InstanceMutexName("C:\\Program Files\\KIVO\\kivoklok.exe"), "KIVOKLOK.EXE");
    EXPECT_EQ(InstanceMutexName("D:kivo.exe"), "KIVO.EXE");
    EXPECT_EQ(InstanceMutexName("c:\\Dir\\Kivo-\xEB.exe"), "KIVO-\xEB.EXE"); // only a-z change
    EXPECT_EQ(InstanceMutexName("c:\\dir\\sub/kivo.exe"), "SUB/KIVO.EXE");   // '/' is no separator
    EXPECT_EQ(InstanceMutexName("kivoklok.exe"), "KIVOKLOK.EXE");
}

TEST(InstanceMutex, CreatedAtStartAndHeldForTheRun) {
    EXPECT_FALSE(CreateInstanceMutex()) << "no other copy of the tests runs";
    EXPECT_FALSE(AnotherInstanceRunning());
    HANDLE own = OpenMutexA(SYNCHRONIZE, FALSE, InstanceMutexName(OwnPath()).c_str());
    EXPECT_NE(own, nullptr);
    if (own) CloseHandle(own);

    const std::string name = "kivo-test-" + std::to_string(GetCurrentProcessId());
    EXPECT_FALSE(CreateLastingMutex(name));
    EXPECT_TRUE(CreateLastingMutex(name)) << "the name exists now";

    CreateProgramMutex();
    HANDLE program = OpenMutexA(SYNCHRONIZE, FALSE, "kivoklokexe");
    EXPECT_NE(program, nullptr);
    if (program) CloseHandle(program);
}

// Starts a copy of this test program (under `name` in its own folder, or this file itself) that
// checks AnotherInstanceRunning against `expected`.
int RunChildCopy(const std::string& exe, bool expected) {
    SetEnvironmentVariableA("KIVO_CHILD_EXPECTS_ANOTHER", expected ? "1" : "0");
    std::string command = "\"" + exe + "\" --gtest_filter=InstanceChild.*";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("KIVO_CHILD_EXPECTS_ANOTHER", nullptr);
    if (!started) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

TEST(InstanceChild, ReportsWhatItFound) {
    const char* expected = std::getenv("KIVO_CHILD_EXPECTS_ANOTHER");
    if (!expected) GTEST_SKIP() << "only run as a child copy";
    EXPECT_EQ(AnotherInstanceRunning(), std::string(expected) == "1");
}

TEST(InstanceMutex, SecondCopyIsDetectedByFileNameOnly) {
    test::TempDir dir;
    const std::string own = OwnPath();
    EXPECT_EQ(RunChildCopy(own, true), 0) << "same executable";

    const std::string sameName = dir.File("WIN32_TEST.exe"); // other folder, other case
    ASSERT_TRUE(CopyFileA(own.c_str(), sameName.c_str(), FALSE));
    EXPECT_EQ(RunChildCopy(sameName, true), 0);

    const std::string otherName = dir.File("win32_test2.exe");
    ASSERT_TRUE(CopyFileA(own.c_str(), otherName.c_str(), FALSE));
    EXPECT_EQ(RunChildCopy(otherName, false), 0) << "another file name is another program";
}

TEST(OneInstance, OnlyOneGuardAtATime) {
    auto guard = std::make_unique<TOneInstance>();
    EXPECT_TRUE(guard->Enabled);
    EXPECT_EQ(guard->Mode, 0);
    EXPECT_THROW(TOneInstance(), KivoError);
    guard.reset();
    EXPECT_NO_THROW(TOneInstance());
}

TEST(OneInstance, GuardActivatesTheRunningCopyAndEndsThisOne) {
    test::InitApp();
    TApplication& app = TApplication::Instance();
    TOneInstance guard;
    EXPECT_FALSE(guard.Check()) << "alone: nothing happens";
    EXPECT_FALSE(QuitMessageWaiting());

    // The "running copy": another application window with our title, minimized.
    HWND running = CreateWindowExA(0, "TApplication", app.Title().c_str(),
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 100,
                                   50, nullptr, nullptr, app.InstanceHandle(), nullptr);
    ASSERT_NE(running, nullptr);
    ShowWindow(running, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(running));

    detail::SetAnotherInstanceRunning(true);
    guard.Enabled = false;
    EXPECT_FALSE(guard.Check()) << "a disabled guard does nothing";
    EXPECT_TRUE(IsIconic(running));

    guard.Enabled = true;
    EXPECT_TRUE(guard.Check());
    EXPECT_FALSE(IsIconic(running)) << "the running copy is restored";
    EXPECT_EQ(WindowText(app.Hwnd()), "") << "our own window no longer matches";
    EXPECT_TRUE(QuitMessageWaiting());
    EXPECT_TRUE(app.Terminated());

    // Without a running copy to find, this copy still ends.
    DestroyWindow(running);
    SetWindowTextA(app.Hwnd(), app.Title().c_str());
    EXPECT_TRUE(guard.Check());
    EXPECT_TRUE(QuitMessageWaiting());

    detail::SetAnotherInstanceRunning(false);
    SetWindowTextA(app.Hwnd(), app.Title().c_str());
}

} // namespace
} // namespace kivo
