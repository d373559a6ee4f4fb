#pragma once
// The start-time dialog: hours and minutes as two large numbers, each with an arrow pair.
#include <windows.h>

#include <string>

#include "algemeen/datetime.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

class TFTijdinstellen : public Window {
public:
    static constexpr const char* ClassName = "TFTijdinstellen";
    enum : int {
        IdEditUren = 201,
        IdUpDownUren = 202,
        IdEditMinuten = 203,
        IdUpDownMinuten = 204,
        IdBitBtn1 = IDOK,
        IdBitBtn2 = IDCANCEL,
    };
    enum Result { ResultOk = 1, ResultCancel = 2 };

    // Made hidden, centred over owner; shown by ShowModal.
    explicit TFTijdinstellen(HWND owner);
    // The window goes before the fonts and pictures its controls use.
    ~TFTijdinstellen() override { DestroyHwnd(); }

    // The time to show, as a fraction of a day; stored before ShowModal.
    TDateTime Time = 0;
    int ShowModal();

    std::string UrenText() const;
    std::string MinutenText() const;
    HWND Control(int id) const { return GetDlgItem(Hwnd(), id); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDpiChanged() override;
    void OnColorsChanged() override;

private:
    void FormShow();
    void EditChange(HWND edit);
    void Step(int editId, int direction);
    void Paint(HDC dc);
    void UrenChange();
    void MinutenChange();
    void BitBtn1Click();
    void BitBtn2Click();

    UniqueFont bigFont_, labelFont_, buttonFont_;
    UniqueBitmap okPicture_, cancelPicture_;
    int result_ = 0;
};

} // namespace kivo
