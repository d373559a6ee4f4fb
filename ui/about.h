#pragma once
// The information window: product name, version and the maker's details rising through a panel.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/creditspanel.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

class TAboutBox : public Window {
    // First, so that they outlive the panel that draws with them.
    UniqueFont font_;
    UniqueFont panelFont_;

public:
    static constexpr const char* ClassName = "TAboutBox";
    static constexpr const char* Caption = "Informatie";
    static constexpr int OKButtonId = IDOK;
    static constexpr int CreditsPanel1Id = 101;
    static constexpr unsigned ScrollInterval = 30;

    // The credits, line by line.
    static const std::vector<std::string>& CreditLines();

    // Creates, shows modally and destroys a new window owned by `owner` (may be null); also
    // destroyed when showing it failed.
    static int Execute(HWND owner);

    // Built hidden; while it is shown modally the thread's other windows take no input.
    explicit TAboutBox(HWND owner);
    ~TAboutBox() override;

    // Shows the window centred on the screen until OK, Enter or the close box ends it; returns
    // the modal result (mrOk, or mrCancel for the close box or the end of the program).
    int ShowModal();

    void FormShow();
    void CreditsPanel1Click();
    void OKButtonClick();

    HWND OKButton() const { return okButton_; }
    TCreditsPanel CreditsPanel1;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDpiChanged() override;
    // The panel's colours are the system's; under high contrast its text takes the button pair.
    void OnColorsChanged() override;

private:
    HWND okButton_ = nullptr;
    int modalResult_ = 0;
};

} // namespace kivo
