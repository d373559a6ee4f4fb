// Task editing in the main window: browse and edit mode, the three buttons, the edit panel's
// OK and "Annuleren", deleting, and the task list.
#include "core/coreservices.h"
#include "logbook/logbook.h"
#include "scheduler/scheduler.h"
#include "store/taskfile.h"
#include "ui/instel.h"
#include "ui/instellayout.h"
#include "win32/application.h"
#include "win32/dialogs.h"

namespace kivo {

using namespace instel;

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
        if (core_) core_->history.Renamed(memKivoKlok); // its history goes with a new name
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
    // After every tick and change of a task.
    if (overview_) overview_->RefreshLater();
}

void TInstelForm::DBGtakenSelChange() {
    taskList_.SelectionChanged();
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

} // namespace kivo
