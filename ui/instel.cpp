#include "ui/instel.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "scheduler/scheduler.h"
#include "store/import.h"
#include "ui/about.h"
#include "ui/coreservices.h"
#include "ui/logboek.h"
#include "win32/application.h"
#include "win32/dialogs.h"

namespace kivo {

namespace {

// Layout at 96 DPI: left, top, width, height.
constexpr int FormWidth = 272;
constexpr int BrowseHeight = 170;
constexpr int EditHeight = 382;
constexpr RECT Panel1{0, 0, 272, 30};
constexpr RECT Label8{6, 0, 6 + 262, 0 + 27};
constexpr RECT Bevel1{3, 32, 3 + 102, 32 + 117};
constexpr POINT Label7{112, 30};
constexpr RECT DBGtakenBox{112, 47, 155, 102};
constexpr int ButtonLeft = 10, ButtonWidth = 92, ButtonHeight = 28;
constexpr int ButtonTops[] = {40, 78, 116};
constexpr int StatusHeight = 19;
constexpr int StatusWidths[] = {120, 30, 50};
constexpr int FormLeft = 100, FormTop = 50;

constexpr const char* MakerName = "KIVO";
constexpr const char* Version = "v2.1";

constexpr DWORD FormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

} // namespace

TInstelForm::TInstelForm(const FormatSettings& settings, Services services)
    : settings_(settings), services_(std::move(services)),
      memKivoKlok("memKivoKlok", settings_, services_.collator, services_.clock),
      sfKivoKlok(settings_), ProcessStarter1(services_.shell), InstelPanel(memKivoKlok, settings_),
      taskList_(memKivoKlok) {
    OnTerminate = [] { TApplication::Instance().Terminate(); };
    OnReport = [](const std::string& message) {
        TApplication& app = TApplication::Instance();
        ShowPlainMessage(app.DialogOwner(), app.Title(), message);
    };
    OnErrorDisplay = [](const std::string& message) {
        TApplication& app = TApplication::Instance();
        ShowErrorDisplay(app.DialogOwner(), app.Title(), message);
    };

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                             ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
    dpi_ = ScreenDpi();

    HINSTANCE instance = GetModuleHandleA(nullptr);
    CreateMenus();
    RECT frame{0, 0, Scaled(FormWidth, dpi_), Scaled(BrowseHeight, dpi_)};
    AdjustWindowRectEx(&frame, FormStyle, TRUE, 0);
    WindowClassInfo info;
    info.name = ClassName;
    info.iconResource = "MAINICON";
    // The window takes part in dialog navigation: Tab and Shift+Tab reach the panel too.
    HWND window =
        CreateWindowOf(info, WS_EX_CONTROLPARENT, Caption, FormStyle, Scaled(FormLeft, dpi_),
                       Scaled(FormTop, dpi_), frame.right - frame.left, frame.bottom - frame.top,
                       nullptr, mainMenu_.get());
    if (!TApplication::Instance().MainWindow()) TApplication::Instance().SetMainWindow(window);

    // The components, in the order of the window's definition.
    Timer1.SetInterval(60000);
    Timer1.OnTimer = [this] { RunTick(); };
    Timer1.SetEnabled(true);
    OpstartTimer.SetInterval(2000);
    OpstartTimer.OnTimer = [this] { OpstartTimerTimer(); };
    ControleTimer.SetInterval(5000);
    ControleTimer.OnTimer = [] {};

    trayIcon_.reset(static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0)));
    if (!trayIcon_) trayIcon_.reset(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)));
    WinTaskbar = std::make_unique<TWinTaskbar>(window);
    WinTaskbar->SetHint(Caption);
    WinTaskbar->SetIcon(trayIcon_.get());
    WinTaskbar->OnDblClick = [this] { WinTaskbarDblClick(); };
    WinTaskbar->PopUpMenu = trayMenu_.get();
    WinTaskbar->SetShowIcon(true);
    ProcessStarter1.MainWindow = window;

    // Every component exists: the single-instance guard acts now.
    endedByGuard_ = OneInstance1.Check();
}

TInstelForm::~TInstelForm() {
    Timer1.SetEnabled(false);
    OpstartTimer.SetEnabled(false);
    WinTaskbar.reset(); // the icon leaves the notification area
    if (Hwnd() && TApplication::Instance().MainWindow() == Hwnd())
        TApplication::Instance().SetMainWindow(nullptr);
    // The window goes while the members its handlers use are still there.
    DestroyHwnd();
}

LogBook* TInstelForm::Log() const {
    return core_ ? &core_->log : nullptr;
}
TaskFile* TInstelForm::Tasks() const {
    return core_ ? &core_->taskFile : nullptr;
}
TaskImporter* TInstelForm::Importer() const {
    return core_ ? &core_->importer : nullptr;
}
Scheduler* TInstelForm::Scheduling() const {
    return core_ ? &core_->scheduler : nullptr;
}

void TInstelForm::CreateMenus() {
    HMENU programma = CreatePopupMenu();
    AppendMenuA(programma, MF_STRING, IdTaakuitvoeren1, "&Taak uitvoeren");
    AppendMenuA(programma, MF_STRING, IdLogboekbekijken1, "&Logboek bekijken");
    AppendMenuA(programma, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(programma, MF_STRING, IdAfsluiten1, "&Afsluiten");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, IdInformatie1, "&Informatie");
    mainMenu_.reset(CreateMenu());
    AppendMenuA(mainMenu_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(programma), "&Programma");
    AppendMenuA(mainMenu_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");

    trayMenu_.reset(CreatePopupMenu());
    HMENU tray = trayMenu_.get();
    AppendMenuA(tray, MF_STRING, IdOpenen1, "&Openen");
    AppendMenuA(tray, MF_STRING, IdSluiten1, "&Sluiten");
    AppendMenuA(tray, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(tray, MF_STRING, IdLogboekbekijken2, "&Logboek bekijken");
    AppendMenuA(tray, MF_STRING, IdInformatie2, "&Informatie");
    auto picture = [&](int id, Glyph glyph) {
        const UniqueBitmap& bitmap = menuPictures_.emplace_back(MakeGlyphBitmap(glyph, dpi_));
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP;
        info.hbmpItem = bitmap.get();
        SetMenuItemInfoA(tray, id, FALSE, &info);
    };
    picture(IdSluiten1, Glyph::Annuleren);
    picture(IdLogboekbekijken2, Glyph::Logboek);
    picture(IdInformatie2, Glyph::Informatie);
}

void TInstelForm::CreateControls() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    BBinstellen.Create(Hwnd(), IdBBinstellen, "Instellen", Glyph::Instellen);
    BBverwijder.Create(Hwnd(), IdBBverwijder, "Verwijderen", Glyph::Verwijderen);
    BBtoevoegen.Create(Hwnd(), IdBBtoevoegen, "Toevoegen", Glyph::Toevoegen);
    HWND list = CreateWindowExA(
        WS_EX_CLIENTEDGE, "LISTBOX", "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
        0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdDBGtaken)), instance, nullptr);
    taskList_.Attach(list);
    listHook_.Attach(list, [this](UINT m, WPARAM w, LPARAM l) { return ListMessage(m, w, l); });
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, Hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdStatusBar)),
                                 instance, nullptr);
    InstelPanel.Create(Hwnd(), dpi_);
    InstelPanel.OnOk = [this] { OKButtonClick(); };
    InstelPanel.OnCancel = [this] { AnnuleerButtonClick(); };
    InstelPanel.EditMode = [this] { return editMode_; };
    ApplyFonts();
    Layout();
    SetStatus(0, "Laatste controle");
    SetStatus(1, std::string("\t") + Version);
    SetStatus(2, "");
}

void TInstelForm::ApplyFonts() {
    font_ = DialogFont(dpi_);
    labelFont_ = MakeFont("MS Sans Serif", 13, dpi_, true);
    headerFont_ = MakeFont("Arial Black", 19, dpi_);
    headerBrush_.reset(CreateSolidBrush(PaleGreen));
    for (TShapedButton* b : {&BBinstellen, &BBverwijder, &BBtoevoegen}) b->SetFont(font_.get());
    SendMessageA(taskList_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SendMessageA(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void TInstelForm::Layout() {
    auto s = [&](int px) { return Scaled(px, dpi_); };
    HWND buttons[] = {BBinstellen.Hwnd(), BBverwijder.Hwnd(), BBtoevoegen.Hwnd()};
    for (int i = 0; i < 3; ++i)
        MoveWindow(buttons[i], s(ButtonLeft), s(ButtonTops[i]), s(ButtonWidth), s(ButtonHeight),
                   TRUE);
    MoveWindow(taskList_.Hwnd(), s(DBGtakenBox.left), s(DBGtakenBox.top), s(DBGtakenBox.right),
               s(DBGtakenBox.bottom), TRUE);
    SendMessageA(taskList_.Hwnd(), LB_SETHORIZONTALEXTENT, 0, 0);
    RECT client;
    GetClientRect(Hwnd(), &client);
    MoveWindow(statusBar_, 0, client.bottom - s(StatusHeight), client.right, s(StatusHeight), TRUE);
    SendMessageA(statusBar_, SB_SETMINHEIGHT, s(StatusHeight), 0);
    SizeStatusPanels();
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

// The widths are the least a panel gets: one grows to fit its text in the font in use.
void TInstelForm::SizeStatusPanels() {
    auto s = [&](int px) { return Scaled(px, dpi_); };
    int edges[3];
    int right = 0;
    WindowDC dc(statusBar_);
    SelectedObject f(dc.get(), font_.get());
    for (int i = 0; i < 3; ++i) {
        std::string text = StatusText(i);
        if (!text.empty() && text[0] == '\t') text.erase(0, 1);
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        edges[i] = right += std::max(s(StatusWidths[i]), static_cast<int>(size.cx) + s(10));
    }
    edges[2] = -1; // the last panel runs to the right edge, so its start time is not cut
    SendMessageA(statusBar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
}

void TInstelForm::SetClientHeight(int height96) {
    clientHeight96_ = height96;
    RECT frame{0, 0, Scaled(FormWidth, dpi_), Scaled(height96, dpi_)};
    AdjustWindowRectEx(&frame, FormStyle, TRUE, 0);
    SetWindowPos(Hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps takes client height: correct for it once.
    RECT client;
    GetClientRect(Hwnd(), &client);
    int missing = Scaled(height96, dpi_) - client.bottom;
    if (missing != 0) {
        RECT outer;
        GetWindowRect(Hwnd(), &outer);
        SetWindowPos(Hwnd(), nullptr, 0, 0, outer.right - outer.left,
                     outer.bottom - outer.top + missing,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TInstelForm::Paint(HDC dc) {
    auto s = [&](int px) { return Scaled(px, dpi_); };
    RECT panel{s(Panel1.left), s(Panel1.top), s(Panel1.right), s(Panel1.bottom)};
    RECT client;
    GetClientRect(Hwnd(), &client);
    panel.right = client.right;
    FillRect(dc, &panel, headerBrush_.get());
    DrawEdge(dc, &panel, BDR_SUNKENINNER, BF_RECT);
    SetBkMode(dc, TRANSPARENT);
    {
        SelectedObject f(dc, headerFont_.get());
        RECT label{s(Label8.left), s(Label8.top), s(Label8.right), s(Label8.bottom)};
        DrawTextA(dc, MakerName, -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT bevel{s(Bevel1.left), s(Bevel1.top), s(Bevel1.right), s(Bevel1.bottom)};
    DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
    {
        SelectedObject f(dc, labelFont_.get());
        TextOutA(dc, s(Label7.x), s(Label7.y), "Taken", 5);
    }
}

HWND TInstelForm::Button(int id) const {
    return GetDlgItem(Hwnd(), id);
}

void TInstelForm::SetStatus(int panel, const std::string& text) {
    SendMessageA(statusBar_, SB_SETTEXTA, panel, reinterpret_cast<LPARAM>(text.c_str()));
    if (font_) SizeStatusPanels();
}

std::string TInstelForm::StatusText(int panel) const {
    LRESULT info = SendMessageA(statusBar_, SB_GETTEXTLENGTHA, panel, 0);
    std::string text(LOWORD(info) + 1, '\0');
    SendMessageA(statusBar_, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(info));
    return text;
}

// The minute tick, also run at once after a resume or a change of the clock. Never inside
// another tick: one asked for meanwhile follows it.
void TInstelForm::RunTick() {
    // Ticks only once FormCreate has made the scheduler, and not once the program ends.
    if (!core_ || ending_) return;
    if (ticking_) {
        tickAgain_ = true;
        return;
    }
    ticking_ = true;
    // Its boxes come after it, so that ticks go on while they are open.
    ++deferReports_;
    try {
        core_->scheduler.Timer1Timer();
    } catch (...) {
        ticking_ = false;
        --deferReports_;
        AfterTick();
        throw;
    }
    ticking_ = false;
    --deferReports_;
    AfterTick();
    if (std::exchange(tickAgain_, false)) PostMessageA(Hwnd(), TickNowMessage, 0, 0);
}

void TInstelForm::Report(ReportQueue::Kind kind, const std::string& message) {
    if (!reports_.Add(kind, message)) return; // that box is open or waiting already
    if (deferReports_ == 0) ShowReports();
}

void TInstelForm::ShowReports() {
    reportsPosted_ = false;
    ReportQueue::Entry entry;
    // A box's own message loop may show the next ones; each is taken once.
    while (reports_.Next(entry)) {
        try {
            const auto& show = entry.kind == ReportQueue::Plain ? OnReport : OnErrorDisplay;
            if (show) show(entry.message);
        } catch (...) {
            reports_.Done(entry);
            throw;
        }
        reports_.Done(entry);
    }
}

// After the start-up or a tick: the list, the buttons that need the table (it may have been
// read now), and the boxes that waited.
void TInstelForm::AfterTick() {
    RefreshTaskList();
    if (memKivoKlok.IsOpen() != tableWasOpen_) {
        tableWasOpen_ = memKivoKlok.IsOpen();
        if (!editMode_) EnableBrowseControls(true);
    }
    if (reports_.Waiting() && !reportsPosted_ && Hwnd()) {
        reportsPosted_ = true;
        PostMessageA(Hwnd(), ShowReportsMessage, 0, 0);
    }
}

// ---- Life of the window ----

void TInstelForm::FormCreate() {
    settings_.twoDigitYearCenturyWindow = 50;
    TApplication::Instance().OnMinimize = [this] { Hoofdschermverbergen(); };
    // A second copy that was started asks for the window.
    TApplication::Instance().OnShowRequest = [this] { Openen1Click(); };
    std::string exePath = services_.exePath.empty() ? ModuleFileName() : services_.exePath;
    appDir_ = WithTrailingBackslash(exePath.substr(0, exePath.find_last_of('\\') + 1));
    CoreParts parts{
        .table = memKivoKlok,
        .format = sfKivoKlok,
        .files = services_.files,
        .clock = services_.clock,
        .shell = services_.shell,
        .timer1 = Timer1,
        .controleTimer = ControleTimer,
        .opstartTimer = OpstartTimer,
        .processStarter = ProcessStarter1,
        .mainWindow = Hwnd(),
        .report = [this](const std::string& m) { Report(ReportQueue::Plain, m); },
        .errorDisplay = [this](const std::string& m) { Report(ReportQueue::ErrorDisplay, m); },
        .statusText = [this](int panel, const std::string& text) { SetStatus(panel, text); },
        .ask =
            [](const std::string& title, const std::string& message) {
                return ShowMessageDialog(TApplication::Instance().DialogOwner(), title, message,
                                         mtWarning, mbYes | mbNo, 0, "");
            }};
    core_ = std::make_unique<CoreServices>(parts, settings_, appDir_);
    // The table stays closed until the task file is loaded: while it cannot be read, no
    // import, tick or save can write a task file without the user's tasks.
    memKivoKlok.CloseTable();
    // Each step runs whatever the others met; their boxes come once the start-up has ended, so
    // none keeps the rest from running. An exit confirmed meanwhile ends the steps.
    ++deferReports_;
    core_->startUp.Stopped = [this] { return ending_; };
    const bool ran = core_->startUp.Run();
    if (ran && !ending_) {
        try {
            OpstartTimer.SetEnabled(true);
        } catch (const std::exception& e) {
            Report(ReportQueue::ErrorDisplay, e.what());
        }
    }
    --deferReports_;
    tableWasOpen_ = !memKivoKlok.IsOpen(); // the buttons follow the table's state now
    AfterTick();
}

void TInstelForm::Show() {
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
}

void TInstelForm::FormShow() {
    // A minimized window is placed when it is restored, so the restore does not undo it.
    if (IsIconic(Hwnd())) {
        placeOnRestore_ = true;
    } else {
        SetWindowPos(Hwnd(), nullptr, Scaled(FormLeft, dpi_), Scaled(FormTop, dpi_), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowBrowseMode();
}

void TInstelForm::ShowBrowseMode() {
    editMode_ = false;
    SetClientHeight(BrowseHeight);
    InstelPanel.Hide();
    EnableBrowseControls(true);
    SetStatus(2, "Starttijd " + CurrentStartTime());
    // The list has the focus: the arrow, page, home and end keys work without a click.
    if (IsWindowVisible(Hwnd())) SetFocus(taskList_.Hwnd());
    if (core_) core_->scheduler.ResumeScheduling();
}

void TInstelForm::ShowEditMode() {
    editMode_ = true;
    if (core_) core_->scheduler.SuspendScheduling();
    startBefore_ = memKivoKlok.Current().Starttijd;
    SetClientHeight(EditHeight);
    InstelPanel.BeginEdit();
    ShowWindow(InstelPanel.Hwnd(), SW_SHOW);
    EnableBrowseControls(false);
    const bool managed = IsManagedTask(memKivoKlok.AsString(Field::Omschrijving));
    InstelPanel.Lock(managed);
    InstelPanel.FocusFirst();
}

std::string TInstelForm::CurrentStartTime() const {
    if (!memKivoKlok.IsOpen()) return "";
    return memKivoKlok.AsString(Field::Starttijd);
}

// A task file that could not be read leaves the table closed: what needs the table waits.
void TInstelForm::EnableBrowseControls(bool enabled) {
    const bool tasks = enabled && memKivoKlok.IsOpen();
    for (TShapedButton* b : {&BBinstellen, &BBverwijder, &BBtoevoegen})
        EnableWindow(b->Hwnd(), tasks);
    EnableWindow(taskList_.Hwnd(), tasks);
    UINT flag = MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(mainMenu_.get(), 0, flag);
    HMENU programma = GetSubMenu(mainMenu_.get(), 0);
    for (int i = 0, n = GetMenuItemCount(programma); i < n; ++i) EnableMenuItem(programma, i, flag);
    EnableMenuItem(programma, IdTaakuitvoeren1, MF_BYCOMMAND | (tasks ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(Hwnd());
}

void TInstelForm::FormClose() {
    if (editMode_) return; // an open edit panel keeps the window, confirmed or not
    if (!exitConfirmed_) {
        ShowWindow(Hwnd(), SW_HIDE);
        return;
    }
    ending_ = true;
    // A log book that cannot be written must not make the program impossible to end.
    try {
        if (core_) core_->log.WriteLog(LogClosed, "");
    } catch (const std::exception& e) {
        TApplication::Instance().HandleException(e);
    }
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

void TInstelForm::Afsluiten1Click() {
    if (ShowMessageDialog(TApplication::Instance().DialogOwner(), "KIVO Klok", ExitQuestion,
                          mtWarning, mbYes | mbNo, 0, "") == mrYes) {
        exitConfirmed_ = true; // stays set, also when the close is refused
        SendMessageA(Hwnd(), WM_CLOSE, 0, 0);
    }
}

void TInstelForm::Sluiten1Click() {
    Afsluiten1Click();
}

void TInstelForm::Taakuitvoeren1Click() {
    if (!core_ || !memKivoKlok.IsOpen()) return;
    core_->manualRun.Taakuitvoeren1Click();
    RefreshTaskList(); // a tick during the question may have changed the list
}

void TInstelForm::Logboekbekijken1Click() {
    if (IsFormOpen(TLogboekForm::ClassName)) return;
    TLogboekForm::Open(appDir_, services_.files);
}

void TInstelForm::Informatie1Click() {
    TAboutBox::Execute(TApplication::Instance().DialogOwner());
}

void TInstelForm::Informatie2Click() {
    Informatie1Click();
}

// ---- Task editing ----

void TInstelForm::BBInstellenClick() {
    if (!memKivoKlok.IsOpen() || memKivoKlok.TaskCount() <= 0) return;
    memKivoKlok.EditCurrent();
    addingTask_ = false;
    ShowEditMode();
}

void TInstelForm::BBToevoegenClick() {
    if (!memKivoKlok.IsOpen()) return;
    memKivoKlok.AppendTask();
    addingTask_ = true;
    RefreshTaskList();
    ShowEditMode();
}

void TInstelForm::OKButtonClick() {
    // What is still in the focused field counts: a description typed last is not lost.
    InstelPanel.CommitTyped();
    const std::string omschrijving = memKivoKlok.AsString(Field::Omschrijving);
    const std::string programma = memKivoKlok.AsString(Field::Programma);
    if (!omschrijving.empty() && !programma.empty()) {
        const bool startStored = addingTask_ || memKivoKlok.Current().Starttijd != startBefore_;
        memKivoKlok.PostTask();
        if (auto id = memKivoKlok.CurrentId(); id && core_) {
            if (startStored) core_->scheduler.HonourStartTime(*id);
            core_->scheduler.TaskChanged(*id); // its slots count from now
        }
        if (core_) core_->taskFile.SaveTasks();
    } else {
        memKivoKlok.CancelTask();
    }
    ShowBrowseMode();
    RefreshTaskList();
}

void TInstelForm::AnnuleerButtonClick() {
    // What was typed goes with the rest: no later store of any task may pick it up.
    InstelPanel.Hide();
    memKivoKlok.CancelTask();
    ShowBrowseMode();
    RefreshTaskList();
}

void TInstelForm::BBVerwijderClick() {
    DeleteAfterQuestion([](const std::string& description) {
        const std::string question = "Wilt u de taak \"" + description + "\" verwijderen?";
        return ShowMessageDialog(TApplication::Instance().DialogOwner(), Caption, question,
                                 mtConfirmation, mbYes | mbNo, 0, "") == mrYes;
    });
}

// The deletion cannot be undone by a restart: it is logged and saved as the button does.
void TInstelForm::DBGtakenKeyDelete() {
    DeleteAfterQuestion([](const std::string&) {
        return ShowConfirmation(TApplication::Instance().DialogOwner(), "Confirm",
                                "Delete record?") == mrOk;
    });
}

void TInstelForm::DeleteAfterQuestion(
    const std::function<bool(const std::string& description)>& ask) {
    if (!core_ || !memKivoKlok.IsOpen()) return;
    try {
        if (memKivoKlok.TaskCount() > 0) {
            // A tick during the question makes the first task current: the task named in the
            // question is found again by its identity. One an import removed meanwhile is
            // gone; nothing is deleted in its place.
            const std::optional<TaskId> named = memKivoKlok.CurrentId();
            if (ask(memKivoKlok.AsString(Field::Omschrijving)) && named &&
                memKivoKlok.GotoId(*named)) {
                core_->log.WriteLog(LogNote, "Taak verwijderen");
                memKivoKlok.DeleteCurrent();
            }
        }
    } catch (const std::exception& e) {
        core_->log.WriteLog(LogNote, std::string("VerwijderClick: ") + e.what());
        Report(ReportQueue::Plain, e.what());
    }
    core_->taskFile.SaveTasks();
    RefreshTaskList();
}

void TInstelForm::DBGtakenCellClick() {
    if (memKivoKlok.IsOpen() && memKivoKlok.TaskCount() > 0)
        SetStatus(2, "Starttijd " + memKivoKlok.AsString(Field::Starttijd));
}

void TInstelForm::DBGtakenDblClick() {
    DBGtakenCellClick();
    BBInstellenClick();
}

// ---- The task list ----

void TInstelForm::RefreshTaskList() {
    taskList_.Refresh();
}

// The list takes no typing; a click makes the row's task current and shows its start time.
LRESULT TInstelForm::ListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_DELETE && (GetKeyState(VK_CONTROL) & 0x8000)) {
            DBGtakenKeyDelete();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN: {
        LRESULT r = listHook_.Default(message, wParam, lParam);
        taskList_.SelectionChanged();
        DBGtakenCellClick();
        return r;
    }
    case WM_LBUTTONDBLCLK: {
        LRESULT r = listHook_.Default(message, wParam, lParam);
        taskList_.SelectionChanged();
        DBGtakenDblClick();
        return r;
    }
    }
    return listHook_.Default(message, wParam, lParam);
}

// ---- Messages ----

LRESULT TInstelForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && placeOnRestore_) {
            placeOnRestore_ = false;
            SetWindowPos(Hwnd(), nullptr, Scaled(FormLeft, dpi_), Scaled(FormTop, dpi_), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (wParam != SIZE_MINIMIZED && statusBar_) Layout();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && lParam == 0) FormShow();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            lastFocus_ = IsChild(Hwnd(), GetFocus()) ? GetFocus() : nullptr;
            break;
        }
        // Coming back to the window, the keyboard goes to the control it left, else to the
        // list or the open panel.
        if (!IsChild(Hwnd(), GetFocus())) {
            HWND back = std::exchange(lastFocus_, nullptr);
            if (back && IsChild(Hwnd(), back) && IsWindowVisible(back) && IsWindowEnabled(back))
                SetFocus(back);
            else if (editMode_)
                InstelPanel.FocusFirst();
            else
                SetFocus(taskList_.Hwnd());
            return 0;
        }
        break;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case ShowReportsMessage:
        ShowReports();
        return 0;
    // Back from sleep or hibernation, or the clock or time zone changed: a tick now, so that a
    // window still open starts its task and what the change cost is noted. Posted, so it never
    // runs inside a tick; the tick it runs begins a new period, so none is run twice.
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND ||
            wParam == PBT_APMRESUMECRITICAL)
            PostMessageA(Hwnd(), TickNowMessage, 0, 0);
        return TRUE;
    case WM_TIMECHANGE:
        PostMessageA(Hwnd(), TickNowMessage, 0, 0);
        return 0;
    case TickNowMessage:
        RunTick();
        return 0;
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
        // A log-off or shut-down ends the program at once: no closing line, nothing saved.
        if (wParam) TApplication::Instance().EndSession();
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        ApplyFonts();
        InstelPanel.SetDpi(dpi_);
        auto* r = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Hwnd(), nullptr, r->left, r->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetClientHeight(clientHeight96_);
        Layout();
        return 0;
    }
    }
    return DefaultMessage(message, wParam, lParam);
}

void TInstelForm::Command(int id, int code) {
    switch (id) {
    // Enter and Escape in the panel (the dialog keys of the window): OK and "Annuleren".
    case IDOK:
        if (editMode_) OKButtonClick();
        break;
    case IDCANCEL:
        if (editMode_) AnnuleerButtonClick();
        break;
    case IdTaakuitvoeren1:
        Taakuitvoeren1Click();
        break;
    case IdLogboekbekijken1:
    case IdLogboekbekijken2:
        Logboekbekijken1Click();
        break;
    case IdAfsluiten1:
        Afsluiten1Click();
        break;
    case IdInformatie1:
        Informatie1Click();
        break;
    case IdInformatie2:
        Informatie2Click();
        break;
    case IdOpenen1:
        Openen1Click();
        break;
    case IdSluiten1:
        Sluiten1Click();
        break;
    case IdBBinstellen:
        BBInstellenClick();
        break;
    case IdBBverwijder:
        BBVerwijderClick();
        break;
    case IdBBtoevoegen:
        BBToevoegenClick();
        break;
    case IdDBGtaken:
        if (code == LBN_SELCHANGE) taskList_.SelectionChanged();
        break;
    default:
        break;
    }
}

} // namespace kivo
