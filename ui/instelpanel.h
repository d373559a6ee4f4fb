#pragma once
// The edit panel of the main window: one row per field of the task being changed, bound to the
// task table's current task, with OK and "Annuleren" below.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <functional>
#include <string>

#include "platform/formatsettings.h"
#include "store/taskrecord.h"
#include "ui/controls.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

class TMemTable;

class TInstelPanel : public Window {
public:
    static constexpr const char* ClassName = "TInstelPanel";
    // Control ids, in the tab order; OK and "Annuleren" take no focus.
    enum : int {
        IdEditOmschrijving = 401,
        IdEditprogramma,
        IdBladerButton,
        IdEditwerkdir,
        IdEditStarttijd,
        IdInstelButton,
        IdEditFrekwentie,
        IdSBFrekwentie,
        IdCBdagen,
        IdCBuren,
        IdEditlaatstekeer,
        IdEditparameters,
        IdOKbutton,
        IdAnnuleerButton,
    };
    static constexpr const char* ProgramFilter = "Programma's (exe,com,bat)\0*.exe;*.com;*.bat\0";
    static constexpr const char* ProgramFolder = "c:\\";

    TInstelPanel(TMemTable& table, const FormatSettings& settings);
    ~TInstelPanel() override;

    // Made hidden, at its place in the main window, at the window's DPI.
    void Create(HWND parent);

    // Every control shows the table's current task (the pending change included).
    void ShowTask();
    // The panel opens on the pending change: from now until Hide, typed text is handed to it.
    void BeginEdit();
    // A managed task: only "Laatste keer", OK and "Annuleren" stay usable.
    void Lock(bool managed);
    void FocusFirst();
    // The control FocusFirst gives the keyboard to.
    HWND FirstFocus() const;
    // Closes the panel: a calendar still open goes with it, and text typed but not handed over
    // is dropped.
    void Hide();
    // Hands typed text that the task has not seen yet to the pending change the panel was
    // opened on; nothing outside an edit.
    void CommitTyped();

    void BladerButtonClick();
    void InstelButtonClick();
    void SBFrekwentieUpClick();
    void SBFrekwentieDownClick();
    void CBdagenClick();
    void CBUrenClick();

    HWND Control(int id) const { return GetDlgItem(Hwnd(), id); }

    std::function<void()> OnOk;
    std::function<void()> OnCancel;
    // The main window's EditMode flag.
    std::function<bool()> EditMode;
    // The standard open dialog; tests replace it.
    std::function<bool(OPENFILENAMEA&)> OpenDialog1 = [](OPENFILENAMEA& ofn) {
        return GetOpenFileNameA(&ofn) != FALSE;
    };

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Fonts and boxes for the window's DPI.
    void OnDpiChanged() override;
    void OnColorsChanged() override;

private:
    void CreateControls();
    void Layout();
    void Paint(HDC dc);
    void ShowField(Field field);
    void EditlaatstekeerChange(const SYSTEMTIME& date);
    void BeginChange();
    void OKButtonClick();
    void AnnuleerButtonClick();
    void StepFrekwentie(int direction);
    void ClickBox(Field clicked, Field other);

    TMemTable& table_;
    FormatSettings display_; // the panel's own "hh:nn" for the start time
    bool loading_ = false;
    bool editing_ = false; // between BeginEdit and Hide
    TShapedButton OKbutton, AnnuleerButton;
    TSpinButton SBFrekwentie;
    ControlHook dateHook_;
    UniqueFont font_, labelFont_;
};

// The date field's display format: four year digits when the user's own short date format
// has them, two otherwise.
std::string PickerDateFormat(const std::string& userShortDate);

} // namespace kivo
