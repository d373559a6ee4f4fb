#pragma once
// Stand-ins for the scheduler's tests: a shell that records what it was asked to start, timers
// that only hold their state, files in memory, and a world that wires the real table, task
// file, log book, import and scheduler together.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "algemeen/errors.h"
#include "algemeen/formatsettings.h"
#include "logbook/logbook.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "scheduler/launch.h"
#include "scheduler/scheduler.h"
#include "scheduler/timercontrol.h"
#include "store/import.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"

namespace kivo::test {

class FakeShell : public Shell {
public:
    struct Call {
        WindowHandle window = nullptr;
        std::optional<std::string> verb; // Execute: none
        std::string file, parameters, directory;
        int show = 0;
        unsigned long mask = 0;
        std::string currentDir; // at the moment of the call
        bool ex = false;
    };

    ShellResult Execute(WindowHandle window, const std::string& file, const std::string& parameters,
                        const std::string& directory, int show) override {
        if (throwFor.count(file)) throw KivoError("shell broke");
        calls.push_back({window, std::nullopt, file, parameters, directory, show, 0, cwd, false});
        return ResultFor(file);
    }
    ShellResult ExecuteEx(ShellExecuteInfo& info) override {
        calls.push_back({info.window, info.verb, info.file, info.parameters, info.directory,
                         info.show, info.mask, cwd, true});
        ShellResult result = ResultFor(info.file);
        info.instApp = result.instance;
        if (result.Started()) info.process = reinterpret_cast<ProcessHandle>(++nextHandle);
        return result;
    }
    void WaitForExit(ProcessHandle process) override { waited.push_back(process); }
    void CloseProcess(ProcessHandle process) override { closed.push_back(process); }
    std::string ErrorText(std::intptr_t code) const override {
        return code == 2 ? "The system cannot find the file specified"
                         : "Shell error " + std::to_string(code);
    }
    std::optional<std::string> EnvironmentValue(const std::string& name) const override {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    std::string CurrentDir() const override { return cwd; }
    bool ChangeDir(const std::string& path) override {
        dirChanges.push_back(path);
        if (path.empty() || missingDirs.count(path)) return false;
        cwd = path;
        return true;
    }

    ShellResult ResultFor(const std::string& file) const {
        ShellResult result;
        auto it = refused.find(file);
        if (it == refused.end()) {
            result.instance = 42;
        } else {
            result.instance = it->second;
            result.reason = ErrorText(it->second);
        }
        return result;
    }

    std::vector<Call> calls;
    std::map<std::string, std::intptr_t> refused; // file -> shell error code
    std::map<std::string, std::string> env{{"Comspec", "C:\\WINDOWS\\system32\\cmd.exe"}};
    std::string cwd = "C:\\Start";
    std::set<std::string> missingDirs;
    std::vector<std::string> dirChanges;
    std::vector<ProcessHandle> closed, waited;
    std::uintptr_t nextHandle = 100;
    std::set<std::string> throwFor; // files whose start throws
};

class FakeTimer : public TimerControl {
public:
    explicit FakeTimer(bool on = false) : enabled(on) {}
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool on) override {
        if (on && !enabled) ++starts;
        enabled = on;
        history.push_back(on);
    }
    bool enabled;
    int starts = 0; // times a stopped timer was started: each begins a new period
    std::vector<bool> history;
};

class MemFiles : public FileSystem {
public:
    bool Exists(const std::string& path) const override { return files.count(path) > 0; }
    std::string ReadAll(const std::string& path) const override {
        auto it = files.find(path);
        if (it == files.end() || lockedPaths.count(path))
            throw FileOpenError("Cannot open file \"" + path +
                                "\". The process cannot access the file");
        return it->second;
    }
    void ReplaceAll(const std::string& path, const std::string& content) override {
        if (readOnly.count(path))
            throw KivoError("Cannot create file \"" + path + "\". Access is denied");
        files[path] = content;
    }
    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        if (files.count(to) || !files.count(from)) return false;
        files[to] = files[from];
        return true;
    }
    bool Delete(const std::string& path) override {
        if (undeletable.count(path)) return false;
        return files.erase(path) > 0;
    }

    std::map<std::string, std::string> files;
    std::set<std::string> lockedPaths, readOnly, undeletable;
};

struct TaskSpec {
    std::string omschrijving;
    std::string starttijd = "12:00";
    int frekwentie = 1;
    bool uren = false;
    std::optional<std::int32_t> laatstekeer = {};
    std::string programma = "prog.exe";
    std::string parameters = {};
    std::string werkdirectory = {};
    bool dagen = true;
};

// The real core parts over the given files, a test clock and the fake shell.
struct World {
    // realShell: the shell to start through instead of the recording fake.
    explicit World(FileSystem& fs, std::string appDir, std::string fixedImport = "",
                   Shell* realShell = nullptr)
        : files(fs), dir(std::move(appDir)), clock(2024, 3, 7, 9, 0),
          starting(realShell ? *realShell : shell),
          table("memKivoKlok", settings, UserCollator(), clock), format(settings),
          log(files, clock, settings, dir), taskFile(table, format, files, log, dir),
          importer(table, taskFile, log, files, clock, settings, dir,
                   fixedImport.empty() ? dir + "fixed-kivoklok.tkn" : fixedImport),
          scheduler(table, importer, taskFile, log, starting, clock, settings, timer1, controle),
          starter(starting), manual(table, log, starting, starter) {
        importer.OpstartTimer = &opstart;
        importer.OnReport = [this](const std::string& m) { reports.push_back(m); };
        taskFile.OnReport = [this](const std::string& m) { reports.push_back(m); };
        scheduler.OnReport = [this](const std::string& m) { reports.push_back(m); };
        scheduler.OnStatusText = [this](int panel, const std::string& text) {
            status[panel] = text;
        };
        timer1.enabled = true;
    }

    void Add(const TaskSpec& t) {
        table.AppendTask();
        table.SetString(Field::Omschrijving, t.omschrijving);
        table.SetString(Field::Programma, t.programma);
        table.SetString(Field::Parameters, t.parameters);
        table.SetString(Field::Werkdirectory, t.werkdirectory);
        table.SetString(Field::Starttijd, t.starttijd);
        table.SetInteger(Field::Frekwentie, t.frekwentie);
        table.SetBoolean(Field::Uren, t.uren);
        table.SetBoolean(Field::Dagen, t.dagen);
        if (t.laatstekeer) table.SetDateTime(Field::Laatstekeer, *t.laatstekeer);
        table.PostTask();
    }
    // Makes the task with this description current; fails the test's assumption otherwise.
    bool Find(const std::string& omschrijving) { return table.LocateDescription(omschrijving); }
    std::string Get(const std::string& omschrijving, kivo::Field field) {
        return Find(omschrijving) ? table.AsString(field) : "<missing>";
    }
    int Starts(const std::string& program) const {
        int n = 0;
        for (const auto& c : shell.calls) n += c.file == program;
        return n;
    }
    std::string Log() const { return files.Exists(log.Path()) ? files.ReadAll(log.Path()) : ""; }
    void At(int hour, int minute, int second = 0, int msec = 0) {
        auto d = clock.Now().date;
        clock.Set(d.year, d.month, d.day, hour, minute, second, msec);
    }
    std::int32_t Today() const { return DayNumber(clock.Now().date); }

    FileSystem& files;
    std::string dir;
    FormatSettings settings;
    FakeClock clock;
    FakeShell shell;
    Shell& starting;
    FakeTimer timer1, controle, opstart{true};
    TMemTable table;
    TCSVStreamFormat format;
    LogBook log;
    TaskFile taskFile;
    TaskImporter importer;
    Scheduler scheduler;
    TProcessStarter starter;
    ManualRun manual;
    std::vector<std::string> reports;
    std::map<int, std::string> status;
};

} // namespace kivo::test
