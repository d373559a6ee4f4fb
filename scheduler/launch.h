#pragma once
// The two ways of starting a task: straight through the shell (the minute tick), and by hand
// through the command interpreter, with confirmation (the main menu's "Taak uitvoeren").
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace kivo {

class TMemTable;
class LogOutbox;
class TaskRuns;

// Hands the program to the shell with its parameters, working directory and show command, and
// returns at once; nothing waits for the program. Each text is passed whole, as the task holds
// it. The owner is the main window, or null when there is none. The shell is asked for the
// process (ShellExecuteExA with the default verb, as ShellExecuteA would start it): it lands in
// `process` for the caller to watch and close; none when the shell gives none (a document a
// running program opened) or when `process` is null (then it is closed here).
ShellResult RunProgram(Shell& shell, WindowHandle owner, const std::string& program,
                       const std::string& parameters, const std::string& directory, int showCommand,
                       ProcessHandle* process = nullptr);

// The show command given to the started program; each value gives the Windows show command of
// the same name.
enum TStarterOptions {
    soSW_HIDE,
    soSW_MAXIMIZE,
    soSW_MINIMIZE,
    soSW_RESTORE,
    soSW_SHOW,
    soSW_SHOWMAXIMIZED,
    soSW_SHOWMINIMIZED,
    soSW_SHOWMINNOACTIVE,
    soSW_SHOWNA,
    soSW_SHOWNORMAL,
};
int ShowCommandOf(TStarterOptions option);

// The shell verb of a start.
enum TStarterOperation { smOpen, smPrint, smExplore, smEdit, smProperties };
const char* VerbOf(TStarterOperation operation);

// The process starter component (ProcessStarter1): starts Command through ShellExecuteExA and
// keeps the handle of the process it started last.
class TProcessStarter {
public:
    explicit TProcessStarter(Shell& shell);
    ~TProcessStarter(); // closes the kept process handle
    TProcessStarter(const TProcessStarter&) = delete;
    TProcessStarter& operator=(const TProcessStarter&) = delete;

    std::string Command;
    std::string Parameters;
    std::string DefaultDir; // passed as text even when empty: "" means the current directory
    TStarterOptions StartOption = soSW_HIDE;
    TStarterOperation StartOperation = smOpen;
    bool Wait = false;      // true: Start blocks until the started process has ended
    bool AutoStart = false; // true: Loaded starts at once
    WindowHandle MainWindow = nullptr;

    // Called with the shell's error code when a start is refused. Unassigned: skipped.
    std::function<void(std::intptr_t code)> OnError;

    // Closes the handle of the previous start, then starts Command with the properties above
    // (mask SEE_MASK_NOCLOSEPROCESS only). An empty Command is refused without asking the shell
    // (code 2, file not found): the shell would otherwise be asked to open nothing at all.
    void Start();
    // What the component does once its properties are set.
    void Loaded();

    ProcessHandle Process() const { return process_; }
    // The handle of the last start, now the caller's to close.
    ProcessHandle TakeProcess() {
        ProcessHandle p = process_;
        process_ = nullptr;
        return p;
    }
    // After a refused start: true, the shell's error code and the system's reason. Cleared by
    // the next start.
    bool Failed() const { return failed_; }
    std::intptr_t ErrorCode() const { return errorCode_; }
    const std::string& ErrorText() const { return errorText_; }

private:
    Shell& shell_;
    ProcessHandle process_ = nullptr;
    bool failed_ = false;
    std::intptr_t errorCode_ = 0;
    std::string errorText_;
};

// The button code of "Yes" in a question.
constexpr int IdYes = 6;
// Asks the user a question with the buttons Yes and No (a warning, help context 0, no focus
// name) and returns the code of the button chosen.
using AskFn = std::function<int(const std::string& title, const std::string& message)>;

// The log note for a start that the shell refused: names the task and the system's reason.
std::string NotStartedNote(const std::string& omschrijving, const std::string& reason);
// The description of such a note, from a log line's body.
std::optional<std::string> ParseNotStartedNote(std::string_view body);

// The manual run of the selected task (Taakuitvoeren1Click), as the main window calls it.
class ManualRun {
public:
    ManualRun(TMemTable& table, LogOutbox& log, Shell& shell, TProcessStarter& starter);

    // Asks whether the current task should run now; on Yes writes the "(handmatig)" line and
    // starts the command interpreter named by "Comspec" with "/c" and the quoted program from
    // the task's working directory, visibly. The process's current directory is set back
    // afterwards, also when something fails. The task that the question named is the one run
    // and logged, even when a tick moved the table's cursor meanwhile; when the tick's import
    // removed it, nothing is started or logged. A start the shell refuses gets a log note.
    void Taakuitvoeren1Click();

    AskFn OnAsk; // unassigned: no answer, nothing runs
    // Watches the command interpreter it started, for the note of its end. May stay null.
    TaskRuns* runs = nullptr;

private:
    TMemTable& table_;
    LogOutbox& log_;
    Shell& shell_;
    TProcessStarter& starter_;
};

} // namespace kivo
