// kivoklok.exe itself, run under Wine in a folder of its own: start-up files, a real minute tick,
// the single-instance guard, the confirmed exit and bad files at start-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/text_count.h"

namespace kivo::test {
namespace {

constexpr const char* BuiltExe = KIVO_EXE_PATH;
constexpr int IdAfsluiten1 = 103; // the main menu's "&Afsluiten"
constexpr int IdYes = 6, IdOk = 1;
const std::string Header = "\"Omschrijving\";\"Werkdirectory\";\"Programma\";\"Parameters\";"
                           "\"Starttijd\";\"Frekwentie\";\"Dagen\";\"Uren\";\"Laatstekeer\";\r\n";

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return done();
        Sleep(100);
    }
    return true;
}

std::string Text(HWND window) {
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// A control's text in another process: GetWindowText gives only the text it was made with.
std::string ControlText(HWND control) {
    char buffer[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_BLOCK, 5000, &length);
    return buffer;
}

// Top-level windows of one process, optionally of one class or caption.
std::vector<HWND> WindowsOf(DWORD pid, const char* cls = nullptr, const char* caption = nullptr) {
    struct Search {
        DWORD pid;
        const char* cls;
        const char* caption;
        std::vector<HWND> found;
    } search{pid, cls, caption, {}};
    EnumWindows(
        [](HWND w, LPARAM p) {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid) return TRUE;
            char name[64] = {};
            GetClassNameA(w, name, sizeof name);
            if (s->cls && lstrcmpA(name, s->cls) != 0) return TRUE;
            if (s->caption && Text(w) != s->caption) return TRUE;
            s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// One visible window of the process with this caption (a dialog or message box).
HWND WaitForBox(DWORD pid, const char* caption, DWORD timeoutMs = 15000) {
    HWND box = nullptr;
    WaitFor(
        [&] {
            for (HWND w : WindowsOf(pid, nullptr, caption))
                if (IsWindowVisible(w)) box = w;
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

void Press(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class Copy {
public:
    Copy(const std::string& exe, const std::string& cwd) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string command = "\"" + exe + "\"";
        // Started from another folder: the program's files belong beside the executable.
        if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            cwd.c_str(), &si, &pi_))
            ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
    }
    ~Copy() {
        if (!pi_.hProcess) return;
        if (Running()) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    DWORD Pid() const { return pi_.dwProcessId; }
    bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD ms) const { return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    HWND MainWindow(DWORD timeoutMs = 15000) const {
        HWND found = nullptr;
        WaitFor(
            [&] {
                auto w = WindowsOf(Pid(), "TInstelForm");
                found = w.empty() ? nullptr : w[0];
                return found != nullptr;
            },
            timeoutMs);
        return found;
    }

private:
    PROCESS_INFORMATION pi_{};
};

struct EndToEnd : ::testing::Test {
    TempDir dir;
    TempDir elsewhere;
    std::string exe;

    void SetUp() override {
        exe = dir.File("kivoklok.exe");
        ASSERT_TRUE(CopyFileA(BuiltExe, exe.c_str(), FALSE)) << BuiltExe;
    }
    std::unique_ptr<Copy> Launch() { return std::make_unique<Copy>(exe, elsewhere.Dir()); }
    std::string Log() const { return dir.Read("kivoklok.log"); }
    bool LogHas(const std::string& part) const { return Log().find(part) != std::string::npos; }
    bool WaitForLog(const std::string& part, DWORD ms = 20000) const {
        return WaitFor([&] { return LogHas(part); }, ms);
    }
};

std::string Stamp(const char* format, const SYSTEMTIME& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, t.wDay, t.wMonth, t.wYear % 100);
    return buffer;
}

TEST_F(EndToEnd, StartUpPurgesLoadsImportsSavesAndHides) {
    dir.Write("kivoklok.log", "[01-01-20] [10:00] oude regel\r\n");
    dir.Write("kivoklok.tkn", "KIVO TAAK nacht\r\n23:30\r\n1\r\nnacht.bat\r\nC:\\\r\n\r\n");
    auto copy = Launch();
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    std::string log = Log();
    EXPECT_EQ(log.find("oude regel"), std::string::npos);
    EXPECT_LT(log.find("Importeer taken"), log.find("KIVO Schakelklok gestart"));
    EXPECT_FALSE(dir.Exists("kivoklok.tkn"));
    EXPECT_NE(dir.Read("kivoklok.csv").find("KIVO TAAK nacht"), std::string::npos);
    EXPECT_FALSE(dir.Exists("../kivoklok.log"));

    HWND main = copy->MainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(Text(main), "KIVO Schakelklok");
    // Hidden about two seconds after the start-up, still running.
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 10000));
    EXPECT_TRUE(copy->Running());
}

// One real minute tick starts a task of the task file and one added through the window, driven
// from here with the messages the user's clicks and keys send; the tick comes a minute after the
// panel closed. Of three tasks that missed their last windows, the tray's run makes up only the
// one whose window today is over; the one in its window and the one just before it start at
// their own check, once each.
TEST_F(EndToEnd, MinuteTickStartsTasksOfTheFileAndOfTheWindow) {
    constexpr int IdBBtoevoegen = 303;
    constexpr int IdEditOmschrijving = 401, IdBladerButton = 403, IdInstelButton = 406,
                  IdOKbutton = 413, IdEditUren = 201, IdEditMinuten = 203;
    constexpr int FileNameBox = 0x47c; // the open dialog's file name field
    SYSTEMTIME now;
    GetLocalTime(&now);
    if ((now.wHour == 23 && now.wMinute >= 50) || (now.wHour == 0 && now.wMinute < 25))
        GTEST_SKIP() << "too close to midnight";
    // Due from the first tick on: a minute ago, within the 15-minute window.
    const int minutes = now.wHour * 60 + now.wMinute - 1;
    auto task = [&](const std::string& name, int minute, const std::string& last) {
        char at[8];
        std::snprintf(at, sizeof at, "%02d:%02d", minute / 60, minute % 60);
        return "\"" + name + "\";\"" + dir.Dir() + "\";\"" + name + ".bat\";;\"" + at +
               "\";\"1\";\"True\";\"False\";" + last + ";\r\n";
    };
    const std::string longAgo = "\"01-01-20\"";
    dir.Write("schrijf.bat", "@echo gestart> gedaan.txt\r\n");
    dir.Write("venster.bat", "@echo gestart> venster.txt\r\n");
    dir.Write("kivoklok.csv",
              Header + task("Schrijf", minutes, "") + task("Binnen", minutes, longAgo) +
                  task("Zo meteen", minutes + 2, longAgo) + task("Voorbij", minutes - 19, longAgo));
    auto copy = Launch();
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    HWND main = copy->MainWindow();
    ASSERT_TRUE(main);
    constexpr int IdGemistetakenuitvoeren2 = 205, IdMessage = 101; // tray item, question text
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IdGemistetakenuitvoeren2, 0), 0);
    HWND question = WaitForBox(copy->Pid(), "KIVO Klok - Bevestiging");
    ASSERT_TRUE(question);
    EXPECT_EQ(ControlText(GetDlgItem(question, IdMessage)), "Gemiste taken nu uitvoeren (1 taak)?");
    Press(question, IdYes);
    ASSERT_TRUE(WaitForLog("Taak \"Voorbij\" (automatisch)"));

    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IdBBtoevoegen, 0), 0);
    HWND panel = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            panel = FindWindowExA(main, nullptr, "TInstelPanel", nullptr);
            return panel && IsWindowVisible(panel);
        },
        10000));
    for (char c : std::string("Via het venster"))
        PostMessageA(GetDlgItem(panel, IdEditOmschrijving), WM_CHAR, static_cast<BYTE>(c), 0);

    PostMessageA(GetDlgItem(panel, IdBladerButton), BM_CLICK, 0, 0);
    HWND open = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (HWND w : WindowsOf(copy->Pid(), "#32770"))
                if (IsWindowVisible(w) && GetDlgItem(w, FileNameBox)) open = w;
            return open != nullptr;
        },
        15000));
    Sleep(300);
    const std::string program = dir.File("venster.bat");
    SendMessageA(GetDlgItem(open, FileNameBox), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(program.c_str()));
    PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(open, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(open) || !IsWindowVisible(open); }, 10000));

    // The start time: this hour, the minutes rounded down to the dialog's step of five.
    PostMessageA(GetDlgItem(panel, IdInstelButton), BM_CLICK, 0, 0);
    HWND time = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (HWND w : WindowsOf(copy->Pid(), "TFTijdinstellen"))
                if (IsWindowVisible(w)) time = w;
            return time != nullptr;
        },
        10000));
    GetLocalTime(&now);
    const int hour = now.wHour, minute = now.wMinute / 5 * 5;
    HWND uren = GetDlgItem(time, IdEditUren), minuten = GetDlgItem(time, IdEditMinuten);
    for (int h = 12; h != hour; h += hour > 12 ? 1 : -1)
        PostMessageA(uren, WM_KEYDOWN, hour > 12 ? VK_UP : VK_DOWN, 0);
    for (int m = 0; m != minute; m += 5) PostMessageA(minuten, WM_KEYDOWN, VK_UP, 0);
    char want[8];
    std::snprintf(want, sizeof want, "%02d:%02d", hour, minute);
    ASSERT_TRUE(
        WaitFor([&] { return ControlText(uren) + ":" + ControlText(minuten) == want; }, 10000))
        << ControlText(uren) << ":" << ControlText(minuten) << " for " << want;
    PostMessageA(GetDlgItem(time, IdOk), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(time); }, 10000));

    PostMessageA(GetDlgItem(panel, IdOKbutton), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForLog("Instelling opslaan"));
    // The note comes before the file is written.
    const std::string line = "\"Via het venster\";\"" + dir.Dir() + "\";\"venster.bat\";;\"" +
                             want + "\";\"1\";\"True\";\"False\";;";
    EXPECT_TRUE(
        WaitFor([&] { return dir.Read("kivoklok.csv").find(line) != std::string::npos; }, 10000))
        << dir.Read("kivoklok.csv");
    ASSERT_TRUE(WaitFor([&] { return dir.Exists("venster.txt"); }, 100000)) << Log();
    ASSERT_TRUE(WaitFor([&] { return dir.Exists("gedaan.txt"); }, 10000)) << Log();
    EXPECT_TRUE(LogHas("Taak \"Via het venster\" (automatisch)"));
    EXPECT_TRUE(LogHas("Taak \"Schrijf\" (automatisch)"));
    ASSERT_TRUE(WaitFor([&] { return Count(Log(), "Instelling opslaan") == 3; }, 10000));
    GetLocalTime(&now);
    EXPECT_EQ(Count(dir.Read("kivoklok.csv"), Stamp("\"%02d-%02d-%02d\"", now)), 5)
        << dir.Read("kivoklok.csv");
    for (const std::string made : {"Binnen", "Zo meteen", "Voorbij"}) {
        EXPECT_EQ(Count(Log(), "Taak \"" + made + "\" (automatisch)"), 1) << made;
        const std::string today = made + "\" gemist (gepland " + Stamp("%02d-%02d-%02d", now);
        EXPECT_EQ(Count(Log(), today), made == "Voorbij" ? 1 : 0) << "missed today: " << made;
    }
    EXPECT_TRUE(copy->Running());
}

TEST_F(EndToEnd, SecondCopyEndsLeavesTheFilesAloneAndThreeLeaveOne) {
    auto first = Launch();
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    HWND main = first->MainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 10000));
    // An import waiting for the running copy's next tick is not the second copy's business.
    dir.Write("kivoklok.tkn", "KIVO TAAK dag\r\n06:00\r\n1\r\ndag.bat\r\nC:\\\r\n\r\n");
    auto second = Launch();
    ASSERT_TRUE(second->WaitExit(15000));
    EXPECT_EQ(second->ExitCode(), 0u);
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 5000))
        << "the running copy shows its window";
    EXPECT_TRUE(dir.Exists("kivoklok.tkn"));
    EXPECT_EQ(Count(Log(), "gestart"), 1);
    EXPECT_FALSE(LogHas("Importeer taken"));
    first.reset();
    dir.Write("kivoklok.tkn", "");

    // Three at the same moment: exactly one stays.
    std::unique_ptr<Copy> copies[3] = {Launch(), Launch(), Launch()};
    Sleep(8000);
    int running = 0;
    for (auto& c : copies) running += c->Running();
    EXPECT_EQ(running, 1);
}

TEST_F(EndToEnd, ConfirmedExitLogsTheEndAndSessionEndDoesNot) {
    auto copy = Launch();
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    HWND main = copy->MainWindow();
    ASSERT_TRUE(main);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IdAfsluiten1, 0), 0);
    HWND question = WaitForBox(copy->Pid(), "KIVO Klok - Waarschuwing");
    ASSERT_TRUE(question);
    Press(question, IdYes);
    ASSERT_TRUE(copy->WaitExit(15000));
    EXPECT_EQ(copy->ExitCode(), 0u);
    EXPECT_EQ(Count(Log(), "KIVO Schakelklok afgesloten"), 1);

    // Log-off: agreed, and the program ends at once without the closing line.
    copy = Launch();
    ASSERT_TRUE(WaitFor([&] { return Count(Log(), "gestart") == 2; }, 20000));
    main = copy->MainWindow();
    ASSERT_TRUE(main);
    DWORD_PTR agreed = 0;
    SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &agreed);
    EXPECT_EQ(agreed, static_cast<DWORD_PTR>(TRUE));
    PostMessageA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    ASSERT_TRUE(copy->WaitExit(15000));
    EXPECT_EQ(Count(Log(), "afgesloten"), 1);
}

// The start-up's lines wait for a log another program holds; once it is free they reach it, in
// order, with the closing line.
TEST_F(EndToEnd, LockedLogShowsTheErrorAndTheProgramRuns) {
    dir.Write("kivoklok.log", "[01-01-20] [10:00] regel\r\n");
    HANDLE lock = CreateFileA(dir.File("kivoklok.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    auto copy = Launch();
    HWND error = WaitForBox(copy->Pid(), "kivoklok");
    ASSERT_TRUE(error) << "the error display";
    EXPECT_TRUE(copy->Running());
    Press(error, IdOk);
    CloseHandle(lock);
    HWND main = copy->MainWindow();
    ASSERT_TRUE(main);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 10000))
        << "the rest of the start-up ran, the hide included";
    EXPECT_TRUE(copy->Running());
    EXPECT_EQ(dir.Read("kivoklok.log"), "[01-01-20] [10:00] regel\r\n");
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IdAfsluiten1, 0), 0);
    HWND question = WaitForBox(copy->Pid(), "KIVO Klok - Waarschuwing");
    ASSERT_TRUE(question);
    Press(question, IdYes);
    ASSERT_TRUE(copy->WaitExit(15000));
    const std::string log = Log();
    EXPECT_LT(log.find("] Lees taken"), log.find("] KIVO Schakelklok gestart")) << log;
    EXPECT_LT(log.find("] KIVO Schakelklok gestart"), log.find("] KIVO Schakelklok afgesloten"));
    EXPECT_EQ(Count(log, "gestart"), 1);
}

// The log locked by another program (a backup, a virus scanner) across a due minute, and the box
// that says so left unanswered: the task starts at its minute all the same, the scheduler goes
// on, and once the log is free both starts' lines reach it, once each, in order.
TEST_F(EndToEnd, ALockedLogAndABoxLeftOpenDoNotStopTheSwitch) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wHour == 23 && now.wMinute >= 45) GTEST_SKIP() << "too close to midnight";
    const int minute = now.wHour * 60 + now.wMinute;
    auto at = [](int m) {
        char text[8];
        std::snprintf(text, sizeof text, "%02d:%02d", m / 60, m % 60);
        return std::string(text);
    };
    dir.Write("eerste.bat", "@echo gestart> eerste.txt\r\n");
    dir.Write("tweede.bat", "@echo gestart> tweede.txt\r\n");
    // Due from the first tick on, and from a minute boundary between the first and the second.
    const std::string line = "\";\"" + dir.Dir() + "\";\"";
    dir.Write("kivoklok.csv",
              Header + "\"A eerste" + line + "eerste.bat\";;\"" + at(std::max(minute - 1, 0)) +
                  "\";\"1\";\"True\";\"False\";;\r\n" + "\"B tweede" + line + "tweede.bat\";;\"" +
                  at(minute + 2) + "\";\"1\";\"True\";\"False\";;\r\n");
    const DWORD launched = GetTickCount();
    auto copy = Launch();
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    Sleep(40000 - std::min<DWORD>(GetTickCount() - launched, 40000));
    HANDLE lock = CreateFileA(dir.File("kivoklok.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    HWND box = WaitForBox(copy->Pid(), "kivoklok", 60000);
    ASSERT_TRUE(box) << "the first tick says the log cannot be written";
    EXPECT_TRUE(WaitFor([&] { return dir.Exists("eerste.txt"); }, 20000)) << "started all the same";
    CloseHandle(lock);

    ASSERT_TRUE(
        WaitFor([&] { return dir.Exists("eerste.txt") && dir.Exists("tweede.txt"); }, 100000))
        << Log();
    // A program that came up late in its minute starts both at the first tick, under the lock:
    // their lines then wait for the next write, the next minute's check at the latest.
    ASSERT_TRUE(WaitForLog("Taak \"B tweede\" (automatisch)", 70000)) << Log();
    EXPECT_TRUE(IsWindow(box) && IsWindowVisible(box)) << "the box is still waiting";
    int boxes = 0;
    for (HWND w : WindowsOf(copy->Pid(), nullptr, "kivoklok")) boxes += IsWindowVisible(w) != 0;
    EXPECT_EQ(boxes, 1);
    const std::string log = Log();
    EXPECT_EQ(Count(log, "Taak \"A eerste\" (automatisch)"), 1);
    EXPECT_EQ(Count(log, "Taak \"B tweede\" (automatisch)"), 1);
    EXPECT_LT(log.find("Taak \"A eerste\""), log.find("Taak \"B tweede\""));
    EXPECT_TRUE(copy->Running());
}

TEST_F(EndToEnd, TaskFileThatDoesNotLoadLeavesTheProgramRunning) {
    dir.Write("kivoklok.csv", Header + "\"Goed\";;\"goed.bat\";;\"23:59\";\"1\";;;;\r\n"
                                       "\"Fout\";;\"fout.bat\";;\"nooit\";\"1\";;;;\r\n");
    auto copy = Launch();
    HWND report = WaitForBox(copy->Pid(), "kivoklok");
    ASSERT_TRUE(report) << "the plain message box";
    Press(report, IdOk);
    ASSERT_TRUE(WaitForLog("KIVO Schakelklok gestart"));
    EXPECT_TRUE(LogHas("leesCSVbestand: "));
    HWND main = copy->MainWindow();
    ASSERT_TRUE(main);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 10000));
    EXPECT_TRUE(copy->Running());
}

} // namespace
} // namespace kivo::test
