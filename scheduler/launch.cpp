#include "scheduler/launch.h"

#include <array>
#include <cstring>
#include <optional>

#include "algemeen/text.h"
#include "logbook/outbox.h"
#include "scheduler/taskruns.h"
#include "store/memtable.h"

namespace kivo {

namespace {

constexpr std::size_t EnvironmentBufferSize = 512;
constexpr std::size_t SavedDirectoryLength = 255;

// "Comspec" read into a zero-filled buffer of 512 bytes: a value that does not fit, or none,
// leaves it empty.
std::string ReadComspec(const Shell& shell) {
    std::array<char, EnvironmentBufferSize> buffer{};
    const std::optional<std::string> value = shell.EnvironmentValue("Comspec");
    if (value && value->size() < buffer.size())
        std::memcpy(buffer.data(), value->data(), value->size());
    return std::string(buffer.data()); // up to the first zero byte
}

// Makes the saved directory current again when the run ends, however it ends.
class DirectoryRestore {
public:
    DirectoryRestore(Shell& shell, std::string saved) : shell_(shell), saved_(std::move(saved)) {}
    ~DirectoryRestore() { shell_.ChangeDir(saved_); } // a failure is of no further use
    DirectoryRestore(const DirectoryRestore&) = delete;
    DirectoryRestore& operator=(const DirectoryRestore&) = delete;

private:
    Shell& shell_;
    std::string saved_;
};

} // namespace

ShellResult RunProgram(Shell& shell, WindowHandle owner, const std::string& program,
                       const std::string& parameters, const std::string& directory, int showCommand,
                       ProcessHandle* process) {
    ShellExecuteInfo info;
    // Unattended: nothing may wait for a click.
    info.mask = SeeMaskNoCloseProcess | SeeMaskFlagNoUi | SeeMaskNoZoneChecks;
    info.window = owner;
    info.file = program;
    info.parameters = parameters;
    info.directory = directory;
    info.show = showCommand;
    const ShellResult result = shell.ExecuteEx(info);
    if (process)
        *process = info.process;
    else if (info.process)
        shell.CloseProcess(info.process);
    return result;
}

int ShowCommandOf(TStarterOptions option) {
    static constexpr int commands[] = {0, 3, 6, 9, 5, 3, 2, 7, 8, 1};
    const int index = static_cast<int>(option);
    return index >= 0 && index < 10 ? commands[index] : SwShow;
}

const char* VerbOf(TStarterOperation operation) {
    switch (operation) {
    case smPrint:
        return "print";
    case smExplore:
        return "explore";
    case smEdit:
        return "edit";
    case smProperties:
        return "properties";
    case smOpen:
        break;
    }
    return "open";
}

TProcessStarter::TProcessStarter(Shell& shell) : shell_(shell) {}

TProcessStarter::~TProcessStarter() {
    if (process_) shell_.CloseProcess(process_);
}

void TProcessStarter::Start() {
    if (process_) {
        shell_.CloseProcess(process_);
        process_ = nullptr;
    }
    failed_ = false;
    errorCode_ = 0;
    errorText_.clear();

    ShellExecuteInfo info;
    info.mask = SeeMaskNoCloseProcess;
    info.window = MainWindow;
    info.verb = VerbOf(StartOperation);
    info.file = Command;
    info.parameters = Parameters;
    info.directory = DefaultDir;
    info.show = ShowCommandOf(StartOption);

    ShellResult result;
    if (Command.empty()) {
        result.instance = 2;
        result.reason = shell_.ErrorText(2);
    } else {
        result = shell_.ExecuteEx(info);
        process_ = info.process;
    }
    if (!result.Started()) {
        failed_ = true;
        errorCode_ = result.instance;
        errorText_ = result.reason;
        if (OnError) OnError(errorCode_);
        return;
    }
    if (Wait && process_) shell_.WaitForExit(process_);
}

void TProcessStarter::Loaded() {
    if (AutoStart) Start();
}

std::string NotStartedNote(const std::string& omschrijving, const std::string& reason) {
    return "Taak \"" + omschrijving + "\" niet gestart: " + reason;
}

std::optional<std::string> ParseNotStartedNote(std::string_view body) {
    constexpr std::string_view Head = "Taak \"", Tail = "\" niet gestart: ";
    if (body.substr(0, Head.size()) != Head) return std::nullopt;
    const auto end = body.find(Tail, Head.size());
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(body.substr(Head.size(), end - Head.size()));
}

ManualRun::ManualRun(TMemTable& table, LogOutbox& log, Shell& shell, TProcessStarter& starter)
    : table_(table), log_(log), shell_(shell), starter_(starter) {}

void ManualRun::Taakuitvoeren1Click() {
    if (table_.TaskCount() == 0) return;
    // A tick can run while the question is open and move the cursor: remember the task asked
    // about.
    const std::optional<TaskId> asked = table_.CurrentId();
    if (!asked) return;
    const std::string message =
        "Wilt u de taak '" + table_.AsString(Field::Omschrijving) + "' nu uitvoeren?";
    if (!OnAsk || OnAsk("KIVO Klok", message) != IdYes) return;
    if (!table_.GotoId(*asked)) return; // the import removed it meanwhile

    const LogTask task{table_.AsString(Field::Omschrijving), table_.AsString(Field::Werkdirectory),
                       table_.AsString(Field::Programma)};
    const std::string parameters = table_.AsString(Field::Parameters);

    const std::string comspec = ReadComspec(shell_);
    DirectoryRestore restore(shell_, shell_.CurrentDir().substr(0, SavedDirectoryLength));

    const LogOutbox::Batch batch(log_); // its lines in one write
    LogEntry line;
    line.kind = LogManual;
    line.task = task;
    log_.Post(std::move(line));
    shell_.ChangeDir(task.werkdirectory); // empty or missing: the directory stays as it was
    starter_.Command = comspec;
    starter_.DefaultDir = "";
    starter_.Parameters =
        "/c \"" + WithTrailingBackslash(task.werkdirectory) + task.programma + "\" " + parameters;
    starter_.StartOption = soSW_SHOW;
    starter_.Start();
    if (starter_.Failed()) {
        log_.Note(NotStartedNote(task.omschrijving, starter_.ErrorText()));
    } else if (runs) {
        runs->Started(*asked, task.omschrijving, starter_.TakeProcess(), shell_);
    }
}

} // namespace kivo
