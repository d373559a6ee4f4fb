#pragma once
// The main window: header strip, the three large buttons, the task list, menu and status bar; its
// life from start-up to the confirmed exit. Its code: instel.cpp (life and messages),
// instelediting.cpp (task editing and the list), instelmenus.cpp (menus, tray menu, commands),
// instelcontrols.cpp (controls, layout, painting, status bar); the layout is in instellayout.h.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "algemeen/report.h"
#include "platform/formatsettings.h"
#include "scheduler/launch.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "ui/controls.h"
#include "ui/instelpanel.h"
#include "ui/taakoverzicht.h"
#include "ui/taskbar.h"
#include "ui/tasklist.h"
#include "ui/trayview.h"
#include "win32/hirestimer.h"
#include "win32/oneinstance.h"
#include "win32/window.h"

namespace kivo {

class Clock;
class Collator;
class FileSystem;
class Scheduler;
class Shell;
class ProcessWatch;
class Program;
struct ProgramView;

class TInstelForm : public Window {
public:
    // What the window works with; the program passes the system's, tests their own.
    struct Services {
        Clock& clock;
        FileSystem& files;
        const Collator& collator;
        Shell& shell;
        // The executable's full path; empty: the running module's (ModuleFileName).
        std::string exePath;
        // Waits for the started programs' ends; null: they are not waited for.
        ProcessWatch* processWatch = nullptr;
    };

private:
    // First, so that the components below can refer to them.
    FormatSettings settings_;
    Services services_;

public:
    static constexpr const char* ClassName = "TInstelForm";
    static constexpr const char* Caption = "KIVO Schakelklok";
    // The title of the window's own questions (exit, missed runs).
    static constexpr const char* QuestionTitle = "KIVO Klok";
    static constexpr const char* ExitQuestion =
        "Als u dit programma afsluit, worden de taken niet meer automatisch uitgevoerd. "
        "Programma toch afsluiten?";

    // Command ids of the menus, the buttons and the list.
    enum : int {
        IdTaakuitvoeren1 = 101,
        IdLogboekbekijken1 = 102,
        IdAfsluiten1 = 103,
        IdInformatie1 = 104,
        IdOverzicht1 = 105,
        IdOpenen1 = 201,
        IdSluiten1 = 202,
        IdLogboekbekijken2 = 203,
        IdInformatie2 = 204,
        IdGemistetakenuitvoeren2 = 205,
        IdOverzicht2 = 206,
        IdBBinstellen = 301,
        IdBBverwijder = 302,
        IdBBtoevoegen = 303,
        IdDBGtaken = 310,
        IdStatusBar = 320,
    };

    // Builds the window and its components: Timer1 is armed, the tray icon added and the
    // single-instance guard run. Not yet visible; FormCreate and Show follow.
    TInstelForm(const FormatSettings& settings, Services services);
    ~TInstelForm() override;

    // True when the single-instance guard ended this copy: it skips the start-up steps.
    bool EndedByGuard() const { return endedByGuard_; }

    void FormCreate();
    void Show(); // makes the window visible (FormShow runs)

    // Handlers.
    void FormShow();
    void FormClose();
    void Hoofdschermverbergen();
    void OpstartTimerTimer();
    void Openen1Click();
    void WinTaskbarDblClick();
    void Afsluiten1Click();
    void Sluiten1Click();
    void Taakuitvoeren1Click();
    void Logboekbekijken1Click();
    void Informatie1Click();
    void Informatie2Click();
    // "&Overzicht" in the "Programma" menu and the tray menu, and a click on the balloon: the
    // task overview, opened or brought forward.
    void Overzicht1Click();
    TTaakoverzichtForm* Overview() const { return overview_; }
    // Tray menu "&Gemiste taken uitvoeren": after one question, each task with a missed run
    // starts once, as the tick would start it.
    void Gemistetakenuitvoeren2Click();
    void BBInstellenClick();
    void BBVerwijderClick();
    void BBToevoegenClick();
    void DBGtakenCellClick();
    void DBGtakenDblClick();
    void OKButtonClick();
    void AnnuleerButtonClick();
    void ShowBrowseMode();
    void ShowEditMode();
    // Ctrl+Delete in the task list.
    void DBGtakenKeyDelete();

    bool EditMode() const { return editMode_; }
    bool ExitConfirmed() const { return exitConfirmed_; }
    const std::string& AppDir() const { return appDir_; }

    HWND DBGtaken() const { return taskList_.Hwnd(); }
    HWND StatusBar() const { return statusBar_.Hwnd(); }
    HMENU MainMenu1() const { return mainMenu_.get(); }
    HMENU TaskbarPopup() const { return trayMenu_.get(); }
    HWND Button(int id) const;
    std::string StatusText(int panel) const;
    // Refills the task list from the table and selects the current task.
    void RefreshTaskList();

    TMemTable memKivoKlok;
    TCSVStreamFormat sfKivoKlok;
    THiResTimer Timer1;
    THiResTimer OpstartTimer;
    THiResTimer ControleTimer;
    std::unique_ptr<TWinTaskbar> WinTaskbar;
    TProcessStarter ProcessStarter1;
    TOneInstance OneInstance1;
    TInstelPanel InstelPanel;

    // How the program ends once the exit is decided; tests replace it.
    std::function<void()> OnTerminate;
    // The plain message box for every report of the program, and the error display for failures
    // that no handler reports itself; tests may replace them. The program holds them back while
    // an event runs and gives no second box for a message on screen or waiting.
    std::function<void(const std::string&)> OnReport;
    std::function<void(const std::string&)> OnErrorDisplay;
    // Posted to show the reports that wait, and to run a tick now.
    static constexpr UINT ShowReportsMessage = WM_APP + 1;
    static constexpr UINT TickNowMessage = WM_APP + 2;
    // Waits out the minute between two balloons.
    static constexpr UINT_PTR BalloonTimerId = 1;

    // The running program and its services, made by FormCreate once AppDir is known; null before.
    Program* Running() const { return program_.get(); }
    Scheduler* Scheduling() const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDpiChanged() override;
    void OnColorsChanged() override;
    // The list, or the open panel's first field.
    HWND DefaultFocus() const override;

private:
    void CreateControls();
    void CreateMenus();
    // The tray icon at the tray's size with its marked form, and the tray menu's pictures, for
    // the window's DPI and the system's colours.
    void MakeTrayPictures();
    void ApplyFonts();
    void Layout();
    void SetClientHeight(int height96);
    void PlaceOnScreen(); // at its place, left 100, top 50
    void Paint(HDC dc);
    void Command(WPARAM wParam);
    void EnterPressed();
    void EscapePressed();
    void DBGtakenSelChange();
    void SetStatus(int panel, const std::string& text);
    void EnableBrowseControls(bool enabled);
    ProgramView View();
    void TasksChanged();
    // The tray: a mark and the count in its tip while there are missed runs or failures the
    // user has not looked at (opening the log viewer clears them); the menu item for the
    // missed runs enabled while there are some.
    void ShowAttention();
    // A balloon for the failures the log's new lines told of, at most one a minute.
    void ShowFailureBalloon();
    // The overview asks to edit a task: it opens in the edit panel, as "Instellen" would.
    void EditFromOverview(TaskId id);
    std::string CurrentStartTime() const;
    // Asks through `ask`; on yes deletes the task that was current when it asked. Saves always.
    void DeleteAfterQuestion(const std::function<bool(const std::string& description)>& ask);

    std::string appDir_;
    std::unique_ptr<Program> program_;
    TTaakoverzichtForm* overview_ = nullptr; // while open; it frees itself
    std::function<void()> boxClosed_;        // for the box being shown: it was answered
    bool tableWasOpen_ = false;
    TaskList taskList_;
    StatusPanels statusBar_;
    TShapedButton BBinstellen, BBverwijder, BBtoevoegen;
    UniqueMenu mainMenu_;
    UniqueMenu trayMenu_;
    TrayView tray_;
    UniqueFont font_, labelFont_, headerFont_;
    int clientHeight96_ = 170;
    bool editMode_ = false;
    bool exitConfirmed_ = false;
    bool ending_ = false; // FormClose decided to end the program
    bool endedByGuard_ = false;
    bool placeOnRestore_ = false;
};

} // namespace kivo
