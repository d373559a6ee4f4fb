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

// The lines of a log file as the viewer shows them: ended by LF or CR LF, cut at the first
// Ctrl+Z; the first line is taken before the end is tested, so an empty content gives one line.
std::vector<std::string> ViewerLines(std::string_view content);

class TLogboekForm : public Window {
public:
    static constexpr const char* ClassName = "TLogboekForm";
    static constexpr int BBOkId = 1;
    static constexpr int LogboekEditId = 2;

    // Creates and shows a viewer for AppDir's "kivoklok.log". The window frees itself when it
    // is closed; the returned pointer is valid until then.
    static TLogboekForm* Open(const std::string& appDir, FileSystem& files);

    HWND LogboekEdit() const { return edit_; }
    HWND BBOk() const { return ok_; }
    // What the last filling read; empty when the file could not be opened.
    const std::vector<std::string>& Lines() const { return lines_; }

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
    void BBOkClick();

    std::string appDir_;
    FileSystem& files_;
    HWND edit_ = nullptr;
    ControlHook editHook_;
    HWND ok_ = nullptr;
    int dpi_ = 96;
    UniqueFont font_;
    UniqueFont buttonFont_;
    std::vector<std::string> lines_;
    bool freesItself_ = false; // set once the window exists, so a failed creation frees it once
};

} // namespace kivo
