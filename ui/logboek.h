#pragma once
// The log viewer: a non-modal window that shows the log book as it was when the window opened.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "win32/window.h"

namespace kivo {

class FileSystem;

// A log file's content as the viewer's text control gets it: lines ended by LF or CR LF, cut at
// the first Ctrl+Z, joined by CR LF, each NUL shown as NulMark.
std::string ViewerText(std::string_view content);
constexpr char NulMark = '\xB7'; // the middle dot of the ANSI code page

class TLogboekForm : public Window {
public:
    static constexpr const char* ClassName = "TLogboekForm";
    static constexpr int BBOkId = 1;
    static constexpr int LogboekEditId = 2;
    static constexpr UINT_PTR FillTimerId = 1;

    // Creates and shows a viewer for AppDir's "kivoklok.log". The window frees itself when it
    // is closed; the returned pointer is valid until then.
    static TLogboekForm* Open(const std::string& appDir, FileSystem& files);

    HWND LogboekEdit() const { return edit_; }
    HWND BBOk() const { return ok_; }
    // What the last filling read; empty when the file could not be opened.
    std::vector<std::string> Lines() const;
    // Whether the text control holds all of it yet: a long log goes in a part at a time.
    bool Filled() const { return filled_ >= text_.size(); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override {
        if (freesItself_) delete this;
    }

private:
    TLogboekForm(std::string appDir, FileSystem& files);
    ~TLogboekForm() override = default;
    LRESULT EditMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Layout();
    void FormShow();
    void FillSome();
    void BBOkClick();

    std::string appDir_;
    FileSystem& files_;
    HWND edit_ = nullptr;
    ControlHook editHook_;
    HWND ok_ = nullptr;
    int dpi_ = 96;
    UniqueFont font_;
    UniqueFont buttonFont_;
    bool opened_ = false;      // the last filling could open the file
    std::string text_;         // what the control is to hold: the file as it was at opening
    std::size_t filled_ = 0;   // how much of text_ the control holds
    std::size_t part_ = 0;     // how much goes in at once
    bool freesItself_ = false; // set once the window exists, so a failed creation frees it once
};

} // namespace kivo
