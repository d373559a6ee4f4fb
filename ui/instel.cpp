#include "ui/instel.h"

#include <commctrl.h>

#include <memory>
#include <utility>

#include "algemeen/text.h"
#include "core/program.h"
#include "ui/instellayout.h"
#include "win32/application.h"
#include "win32/dialogs.h"

namespace kivo {

using namespace instel;

TInstelForm::TInstelForm(const FormatSettings& settings, Services services)
    : settings_(settings), services_(std::move(services)),
      memKivoKlok("memKivoKlok", settings_, services_.collator, services_.clock),
      sfKivoKlok(settings_), ProcessStarter1(services_.shell), InstelPanel(memKivoKlok, settings_),
      taskList_(memKivoKlok) {
    OnTerminate = [] { TApplication::Instance().Terminate(); };
    // The box tells the program when it is answered.
    OnReport = [this](const std::string& message) {
        TApplication& app = TApplication::Instance();
        ShowPlainMessage(app.DialogOwner(), app.Title(), message, std::exchange(boxClosed_, {}));
    };
    OnErrorDisplay = [this](const std::string& message) {
        TApplication& app = TApplication::Instance();
        ShowErrorDisplay(app.DialogOwner(), app.Title(), message, std::exchange(boxClosed_, {}));
    };

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                             ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);

    CreateMenus();
    const SIZE outer =
        OuterSize({Scale(FormWidth), Scale(BrowseHeight)}, FormStyle, 0, true, Dpi());
    WindowClassInfo info;
    info.name = ClassName;
    info.iconResource = "MAINICON";
    // The window takes part in dialog navigation: Tab and Shift+Tab reach the panel too.
    HWND window = CreateWindowOf(info, WS_EX_CONTROLPARENT, Caption, FormStyle, Scale(FormLeft),
                                 Scale(FormTop), outer.cx, outer.cy, nullptr, mainMenu_.get());
    // A control that cannot be made fails the window as its own creation would.
    CreateControls();
    if (!TApplication::Instance().MainWindow()) TApplication::Instance().SetMainWindow(window);

    // The components, in the order of the window's definition.
    Timer1.SetInterval(60000);
    Timer1.OnTimer = [this] {
        // Checks only once FormCreate has made the program, and not once it ends.
        if (program_) program_->RunTick();
    };
    Timer1.SetEnabled(true);
    OpstartTimer.SetInterval(2000);
    OpstartTimer.OnTimer = [this] { OpstartTimerTimer(); };
    ControleTimer.SetInterval(5000);
    ControleTimer.OnTimer = [] {};

    MakeTrayPictures();
    WinTaskbar = std::make_unique<TWinTaskbar>(window);
    WinTaskbar->SetHint(Caption);
    WinTaskbar->SetIcon(tray_.Plain());
    WinTaskbar->OnDblClick = [this] { WinTaskbarDblClick(); };
    WinTaskbar->OnBalloonClick = [this] { Overzicht1Click(); };
    WinTaskbar->OnIconAdded = [this] { ShowFailureBalloon(); }; // one the shell refused
    WinTaskbar->PopUpMenu = trayMenu_.get();
    WinTaskbar->SetShowIcon(true);
    ProcessStarter1.MainWindow = window;

    // Every component exists: the single-instance guard acts now.
    endedByGuard_ = OneInstance1.Check();
}

TInstelForm::~TInstelForm() {
    // The overview shows the table and the history: it goes first.
    if (overview_) DestroyWindow(overview_->Hwnd());
    Timer1.SetEnabled(false);
    OpstartTimer.SetEnabled(false);
    WinTaskbar.reset(); // the icon leaves the notification area
    if (Hwnd() && TApplication::Instance().MainWindow() == Hwnd())
        TApplication::Instance().SetMainWindow(nullptr);
    // The window goes while the members its handlers use are still there.
    DestroyHwnd();
}

Scheduler* TInstelForm::Scheduling() const {
    return program_ ? &program_->core.scheduler : nullptr;
}

// After the start-up, a check or a command: the list, and the buttons that need the table (it
// may have been read now).
void TInstelForm::TasksChanged() {
    RefreshTaskList();
    if (memKivoKlok.IsOpen() != tableWasOpen_) {
        tableWasOpen_ = memKivoKlok.IsOpen();
        if (!editMode_) EnableBrowseControls(true);
    }
}

void TInstelForm::ShowAttention() {
    if (!program_) return;
    if (WinTaskbar) tray_.ShowAttention(*WinTaskbar, program_->core.attention.Count());
    const bool missed =
        memKivoKlok.IsOpen() && program_->core.scheduler.MissedTaskCount(false, 1) > 0;
    EnableMenuItem(trayMenu_.get(), IdGemistetakenuitvoeren2,
                   MF_BYCOMMAND | (missed ? MF_ENABLED : MF_GRAYED));
}

// ---- Life of the window ----

void TInstelForm::FormCreate() {
    settings_.twoDigitYearCenturyWindow = 50;
    TApplication::Instance().OnMinimize = [this] { Hoofdschermverbergen(); };
    // A second copy that was started asks for the window.
    TApplication::Instance().OnShowRequest = [this] { Openen1Click(); };
    std::string exePath = services_.exePath.empty() ? ModuleFileName() : services_.exePath;
    appDir_ = WithTrailingBackslash(exePath.substr(0, exePath.find_last_of('\\') + 1));
    program_ = std::make_unique<Program>(
        CoreParts{
            .table = memKivoKlok,
            .format = sfKivoKlok,
            .files = services_.files,
            .clock = services_.clock,
            .shell = services_.shell,
            .timer1 = Timer1,
            .controleTimer = ControleTimer,
            .opstartTimer = OpstartTimer,
            .processStarter = ProcessStarter1,
            .processWatch = services_.processWatch,
            .mainWindow = Hwnd(),
        },
        View(), settings_, appDir_);
    program_->StartUp();
    tableWasOpen_ = !memKivoKlok.IsOpen(); // the buttons follow the table's state now
    TasksChanged();
}

// What the window follows of the running program.
ProgramView TInstelForm::View() {
    auto post = [this](UINT message) {
        return [this, message] { return Hwnd() && PostMessageA(Hwnd(), message, 0, 0) != FALSE; };
    };
    return ProgramView{
        .status = [this](int panel, const std::string& text) { SetStatus(panel, text); },
        .attention = [this] { ShowAttention(); },
        .history =
            [this] {
                if (overview_) overview_->RefreshLater();
                ShowFailureBalloon();
            },
        .tasksChanged = [this] { TasksChanged(); },
        .showReport =
            [this](ReportQueue::Kind kind, const std::string& message,
                   std::function<void()> answered) {
                boxClosed_ = std::move(answered);
                const auto& show = kind == ReportQueue::Plain ? OnReport : OnErrorDisplay;
                if (show) show(message);
                boxClosed_ = nullptr;
            },
        .postReports = post(ShowReportsMessage),
        .postTick = post(TickNowMessage),
        .ask =
            [](const std::string& title, const std::string& message) {
                return ShowMessageDialog(TApplication::Instance().DialogOwner(), title, message,
                                         mtWarning, mbYes | mbNo, 0, "");
            },
        .commitTyped = [this] { InstelPanel.CommitTyped(); },
    };
}

void TInstelForm::Show() {
    if (ending_) return; // an exit confirmed during the start-up: never shown
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
}

void TInstelForm::FormShow() {
    // A minimized window is placed when it is restored, so the restore does not undo it.
    if (IsIconic(Hwnd())) {
        placeOnRestore_ = true;
    } else {
        PlaceOnScreen();
    }
    ShowBrowseMode();
}

void TInstelForm::FormClose() {
    if (editMode_) return; // an open edit panel keeps the window, confirmed or not
    if (!exitConfirmed_) {
        ShowWindow(Hwnd(), SW_HIDE);
        return;
    }
    ending_ = true;
    // A log book that cannot be written does not keep the program from ending: its refusal is
    // shown, and what it did not take is said at the next start.
    if (program_) program_->Close();
    if (OnTerminate) OnTerminate();
}

void TInstelForm::Hoofdschermverbergen() {
    if (editMode_) {
        TApplication::Instance().Restore();
    } else {
        ShowWindow(Hwnd(), SW_HIDE);
    }
}

void TInstelForm::OpstartTimerTimer() {
    OpstartTimer.SetEnabled(false);
    Hoofdschermverbergen();
}

void TInstelForm::Openen1Click() {
    if (ending_) return; // the program ends: the window stays as it is
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
    BringWindowToTop(Hwnd());
    TApplication& app = TApplication::Instance();
    if (app.IsMinimized()) app.Restore();
    if (IsIconic(Hwnd()) || IsZoomed(Hwnd())) ShowWindow(Hwnd(), SW_RESTORE);
}

void TInstelForm::WinTaskbarDblClick() {
    Openen1Click();
}

// ---- Messages ----

LRESULT TInstelForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && placeOnRestore_) {
            placeOnRestore_ = false;
            PlaceOnScreen();
        }
        if (wParam != SIZE_MINIMIZED && statusBar_.Hwnd()) Layout();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && lParam == 0) FormShow();
        break;
    case WM_COMMAND:
        Command(wParam);
        return 0;
    case ShowReportsMessage:
        if (program_) program_->ShowReports();
        return 0;
    // Back from sleep or hibernation, or the clock or time zone changed: a tick now, so that a
    // window still open starts its task and what the change cost is noted. Posted, so it never
    // runs inside a tick; the tick it runs begins a new period, so none is run twice; messages
    // that come together give one tick.
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND ||
            wParam == PBT_APMRESUMECRITICAL)
            if (program_) program_->TickSoon();
        return TRUE;
    case WM_TIMECHANGE:
        if (program_) program_->TickSoon();
        return 0;
    case TickNowMessage:
        if (program_) program_->TickPosted();
        return 0;
    case WM_TIMER:
        if (wParam == BalloonTimerId) {
            ShowFailureBalloon();
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            TApplication::Instance().Minimize();
            return 0;
        }
        if ((wParam & 0xFFF0) == SC_MAXIMIZE) return 0;
        break;
    case WM_CLOSE:
        FormClose();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // A log-off or shut-down ends the program at once: no closing line, nothing saved; what
        // the log has not taken yet is written, or said at the next start.
        if (wParam) {
            if (program_) program_->EndSession();
            TApplication::Instance().EndSession();
        }
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

void TInstelForm::OnDpiChanged() {
    ApplyFonts();
    SetClientHeight(clientHeight96_);
    Layout();
    MakeTrayPictures();
}

HWND TInstelForm::DefaultFocus() const {
    return editMode_ ? InstelPanel.FirstFocus() : taskList_.Hwnd();
}

} // namespace kivo
