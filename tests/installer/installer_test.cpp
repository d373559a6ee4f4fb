// The release package under Wine's msiexec, in a prefix of its own: per-user install, the start at
// log-on through the Run value, upgrade over an older package (also while it runs), and an
// uninstall that leaves the user's files.
#include <windows.h>

#include <msi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/text_count.h"

namespace kivo::test {
namespace {

constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* RunName = "KIVO Schakelklok";
constexpr const char* StartLine = "KIVO Schakelklok gestart";
constexpr DWORD RebootRequired = 3010;
const std::string TaskFile = "\"Omschrijving\";\"Werkdirectory\";\"Programma\";\"Parameters\";"
                             "\"Starttijd\";\"Frekwentie\";\"Dagen\";\"Uren\";\"Laatstekeer\";\r\n"
                             "\"Nachtwerk\";\"C:\\\";\"nacht.bat\";;\"23:30\";\"1\";\"True\";"
                             "\"False\";;\r\n";

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return unixPath;
}
const std::string NewMsi = WindowsPath(KIVO_NEW_MSI);
const std::string OldMsi = WindowsPath(KIVO_OLD_MSI);

std::string Folder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}
const std::string InstallDir = Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\kivoklok\\";
const std::string Exe = InstallDir + "kivoklok.exe";
const std::string Shortcut = Folder(CSIDL_PROGRAMS) + "\\KIVO Schakelklok.lnk";

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
template <class Done> bool WaitFor(Done done, DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); !done(); Sleep(100))
        if (GetTickCount() - start > timeoutMs) return done();
    return true;
}

// Starts a command line; the process handle is closed (and a running process ended) on scope
// exit. The Run value is started this way too: command line as stored, no directory of its own.
class Process {
public:
    Process(std::string commandLine, const std::string& cwd) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            cwd.empty() ? nullptr : cwd.c_str(), &si, &pi_))
            ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
    }
    ~Process() {
        if (!pi_.hProcess) return;
        if (!WaitExit(0)) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool WaitExit(DWORD ms) const {
        return pi_.hProcess && WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_{};
};

DWORD Msiexec(const std::string& arguments) {
    Process msiexec("msiexec.exe " + arguments + " /qn", "");
    EXPECT_TRUE(msiexec.WaitExit(60000)) << "msiexec " << arguments;
    return msiexec.ExitCode();
}

std::string RunValue() {
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, RunKey, RunName, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return "";
    return value;
}

std::string FileVersion(const std::string& path) {
    DWORD unused = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &unused));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoA(path.c_str(), 0, data.size(), data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length))
        return "";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

// The installed products of this upgrade code, by product version.
std::vector<std::string> InstalledVersions() {
    std::vector<std::string> versions;
    char product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(KIVO_UPGRADE_CODE, 0, i, product) == ERROR_SUCCESS;
         ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        versions.push_back(version);
    }
    return versions;
}

std::vector<DWORD> RunningCopies() {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "kivoklok.exe") == 0) pids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

// Wine's stand-in for a restart: carries out the file replacements that waited for it.
void Restart() {
    Process wineboot("wineboot.exe -r", "");
    EXPECT_TRUE(wineboot.WaitExit(60000));
}

struct Installer : ::testing::Test {
    TempDir elsewhere; // the current directory at log-on is not the install folder

    // Whatever an earlier, interrupted run left: no copy running, nothing installed, no files.
    void SetUp() override {
        for (DWORD pid : RunningCopies()) {
            HANDLE copy = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            TerminateProcess(copy, 1);
            WaitForSingleObject(copy, 5000);
            CloseHandle(copy);
        }
        Restart();
        char product[39];
        while (MsiEnumRelatedProductsA(KIVO_UPGRADE_CODE, 0, 0, product) == ERROR_SUCCESS)
            ASSERT_EQ(Msiexec("/x " + std::string(product)), 0u);
        std::error_code ec;
        std::filesystem::remove_all(InstallDir, ec);
    }
    void TearDown() override { SetUp(); }

    // Starts the program as log-on does, and waits for its start-up line number `n`.
    std::unique_ptr<Process> StartAtLogon(int n) {
        std::string command = RunValue();
        EXPECT_EQ(command, "\"" + Exe + "\"");
        auto copy = std::make_unique<Process>(command, elsewhere.Dir());
        EXPECT_TRUE(WaitFor(
            [&] { return Count(Read(InstallDir + "kivoklok.log"), StartLine) == n; }, 20000))
            << Read(InstallDir + "kivoklok.log");
        return copy;
    }
};

TEST_F(Installer, InstallsPerUserUpgradesAndUninstallKeepsTheUserFiles) {
    ASSERT_EQ(Msiexec("/i " + OldMsi), 0u);
    EXPECT_EQ(FileVersion(Exe), "2.0.0.0");
    std::ofstream(InstallDir + "kivoklok.csv", std::ios::binary) << TaskFile;
    StartAtLogon(1).reset();

    // The newer package replaces the older one: one product, the newer program, same tasks.
    ASSERT_EQ(Msiexec("/i " + NewMsi), 0u);
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{"2.1.0"});
    EXPECT_EQ(FileVersion(Exe), "2.1.0.0");
    EXPECT_NE(Read(Shortcut).find("kivoklok.exe"), std::string::npos) << Shortcut;
    auto copy = StartAtLogon(2);
    EXPECT_FALSE(Exists(elsewhere.File("kivoklok.log")));
    EXPECT_EQ(Read(InstallDir + "kivoklok.csv"), TaskFile);
    copy.reset();

    // An older package does not go over a newer one.
    EXPECT_NE(Msiexec("/i " + OldMsi), 0u);
    EXPECT_EQ(FileVersion(Exe), "2.1.0.0");

    ASSERT_EQ(Msiexec("/x " + NewMsi), 0u);
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_FALSE(Exists(Exe));
    EXPECT_FALSE(Exists(Shortcut));
    EXPECT_EQ(RunValue(), "");
    EXPECT_EQ(Read(InstallDir + "kivoklok.csv"), TaskFile);
    EXPECT_EQ(Count(Read(InstallDir + "kivoklok.log"), StartLine), 2);
}

TEST_F(Installer, StartAtLogonIsAFeatureTheUserCanLeaveOut) {
    ASSERT_EQ(Msiexec("/i " + NewMsi + " ADDLOCAL=Program"), 0u);
    EXPECT_TRUE(Exists(Exe));
    EXPECT_TRUE(Exists(Shortcut));
    EXPECT_EQ(RunValue(), "");
}

// Installing over a running copy neither ends it nor starts another: the running copy keeps
// its tasks, and the new exe takes its place at the next restart.
TEST_F(Installer, InstallAndRemoveWhileACopyRunsLeaveThatOneCopyRunning) {
    ASSERT_EQ(Msiexec("/i " + OldMsi), 0u);
    auto running = StartAtLogon(1);

    DWORD result = Msiexec("/i " + NewMsi);
    EXPECT_TRUE(result == 0 || result == RebootRequired) << result;
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{"2.1.0"});
    EXPECT_FALSE(running->WaitExit(0));
    EXPECT_EQ(RunningCopies().size(), 1u);

    // Started again meanwhile (Start menu, log-on): the single-instance guard ends the new copy.
    Process second("\"" + Exe + "\"", elsewhere.Dir());
    EXPECT_TRUE(second.WaitExit(20000));
    EXPECT_FALSE(running->WaitExit(0));
    EXPECT_EQ(Count(Read(InstallDir + "kivoklok.log"), StartLine), 1);

    running.reset(); // log-off
    if (result == RebootRequired) Restart();
    EXPECT_EQ(FileVersion(Exe), "2.1.0.0");
    auto next = StartAtLogon(2);
    EXPECT_EQ(RunningCopies().size(), 1u);

    // Removed while it runs: it runs on until log-off and is not started again. Its exe stays
    // behind (Wine keeps it; Windows removes it at the next restart), as do the user's files.
    result = Msiexec("/x " + NewMsi);
    EXPECT_TRUE(result == 0 || result == RebootRequired) << result;
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_EQ(RunValue(), "");
    EXPECT_FALSE(Exists(Shortcut));
    EXPECT_FALSE(next->WaitExit(0));
    EXPECT_EQ(Count(Read(InstallDir + "kivoklok.log"), StartLine), 2);
}

} // namespace
} // namespace kivo::test
