// The main window's menus, the tray menu and the commands they and the buttons give.
#include <algorithm>

#include "algemeen/text.h"
#include "core/program.h"
#include "scheduler/scheduler.h"
#include "ui/about.h"
#include "ui/instel.h"
#include "ui/logboek.h"
#include "win32/application.h"
#include "win32/dialogs.h"

namespace kivo {

void TInstelForm::CreateMenus() {
    HMENU programma = CreatePopupMenu();
    AppendMenuA(programma, MF_STRING, IdTaakuitvoeren1, "&Taak uitvoeren");
    AppendMenuA(programma, MF_STRING, IdLogboekbekijken1, "&Logboek bekijken");
    AppendMenuA(programma, MF_STRING, IdOverzicht1, "&Overzicht");
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
    AppendMenuA(tray, MF_STRING, IdOverzicht2, "O&verzicht"); // "&Openen" has the O
    AppendMenuA(tray, MF_STRING, IdInformatie2, "&Informatie");
    AppendMenuA(tray, MF_STRING | MF_GRAYED, IdGemistetakenuitvoeren2, "&Gemiste taken uitvoeren");
    // Its pictures: MakeTrayPictures.
}

void TInstelForm::Command(WPARAM wParam) {
    static constexpr CommandRoute<TInstelForm> Commands[] = {
        // Enter and Escape in the panel (the dialog keys of the window): OK and "Annuleren".
        {IDOK, AnyCode, &TInstelForm::EnterPressed},
        {IDCANCEL, AnyCode, &TInstelForm::EscapePressed},
        {IdTaakuitvoeren1, AnyCode, &TInstelForm::Taakuitvoeren1Click},
        {IdLogboekbekijken1, AnyCode, &TInstelForm::Logboekbekijken1Click},
        {IdLogboekbekijken2, AnyCode, &TInstelForm::Logboekbekijken1Click},
        {IdAfsluiten1, AnyCode, &TInstelForm::Afsluiten1Click},
        {IdInformatie1, AnyCode, &TInstelForm::Informatie1Click},
        {IdInformatie2, AnyCode, &TInstelForm::Informatie2Click},
        {IdOverzicht1, AnyCode, &TInstelForm::Overzicht1Click},
        {IdOverzicht2, AnyCode, &TInstelForm::Overzicht1Click},
        {IdGemistetakenuitvoeren2, AnyCode, &TInstelForm::Gemistetakenuitvoeren2Click},
        {IdOpenen1, AnyCode, &TInstelForm::Openen1Click},
        {IdSluiten1, AnyCode, &TInstelForm::Sluiten1Click},
        {IdBBinstellen, AnyCode, &TInstelForm::BBInstellenClick},
        {IdBBverwijder, AnyCode, &TInstelForm::BBVerwijderClick},
        {IdBBtoevoegen, AnyCode, &TInstelForm::BBToevoegenClick},
        {IdDBGtaken, LBN_SELCHANGE, &TInstelForm::DBGtakenSelChange},
    };
    RouteCommand(*this, Commands, wParam);
}

void TInstelForm::EnterPressed() {
    if (editMode_) OKButtonClick();
}

void TInstelForm::EscapePressed() {
    if (editMode_) AnnuleerButtonClick();
}

void TInstelForm::Afsluiten1Click() {
    if (ShowMessageDialog(TApplication::Instance().DialogOwner(), QuestionTitle, ExitQuestion,
                          mtWarning, mbYes | mbNo, 0, "") == mrYes) {
        exitConfirmed_ = true; // stays set, also when the close is refused
        SendMessageA(Hwnd(), WM_CLOSE, 0, 0);
    }
}

void TInstelForm::Sluiten1Click() {
    Afsluiten1Click();
}

// A tick during the question may change the list: the program follows it afterwards.
void TInstelForm::Taakuitvoeren1Click() {
    if (program_) program_->RunTaskNow();
}

void TInstelForm::Logboekbekijken1Click() {
    // The user looks at what happened: the tray's mark goes.
    if (program_) program_->LogViewed();
    if (IsFormOpen(TLogboekForm::ClassName)) return;
    TLogboekForm::Open(appDir_, services_.files);
}

void TInstelForm::Gemistetakenuitvoeren2Click() {
    if (!program_) return;
    // The task open in the panel waits for the panel: it is not counted.
    const int missed = program_->MissedToRun();
    std::string question = "Gemiste taken nu uitvoeren (";
    question += std::to_string(missed);
    question += missed == 1 ? " taak)?" : " taken)?";
    if (missed > 0 && ShowMessageDialog(TApplication::Instance().DialogOwner(), QuestionTitle,
                                        question, mtConfirmation, mbYes | mbNo, 0, "") == mrYes) {
        // A tick during the question may have made some up: those are not started again.
        program_->RunMissed();
    }
}

void TInstelForm::Overzicht1Click() {
    if (!program_) return;
    if (overview_) {
        if (IsIconic(overview_->Hwnd())) ShowWindow(overview_->Hwnd(), SW_RESTORE);
        SetForegroundWindow(overview_->Hwnd());
        return;
    }
    overview_ =
        TTaakoverzichtForm::Open({memKivoKlok, program_->core.scheduler, program_->core.history,
                                  &program_->core.runs, services_.clock, settings_});
    overview_->OnClosed = [this] { overview_ = nullptr; };
    overview_->OnEdit = [this](TaskId id) { EditFromOverview(id); };
}

void TInstelForm::EditFromOverview(TaskId id) {
    if (editMode_ || ending_ || !memKivoKlok.IsOpen() || memKivoKlok.IsPending() ||
        !memKivoKlok.GotoId(id))
        return;
    Openen1Click();
    RefreshTaskList();
    BBInstellenClick();
}

// Used up only once the shell has shown it: a refused one waits for the next write or for the
// icon's return.
void TInstelForm::ShowFailureBalloon() {
    if (!program_ || !WinTaskbar || !Hwnd()) return;
    KillTimer(Hwnd(), BalloonTimerId);
    if (auto wait = tray_.ShowFailures(*WinTaskbar, Caption, program_->core.notices,
                                       services_.clock.Read().monotonicMs)) {
        SetTimer(Hwnd(), BalloonTimerId, static_cast<UINT>(std::max<std::int64_t>(*wait, 1)),
                 nullptr);
    }
}

void TInstelForm::Informatie1Click() {
    TAboutBox::Execute(TApplication::Instance().DialogOwner());
}

void TInstelForm::Informatie2Click() {
    Informatie1Click();
}

} // namespace kivo
