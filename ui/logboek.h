#pragma once
// The log viewer: a non-modal window that shows the log book as it was when the window opened.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace kivo {

class FileSystem;

// The lines of a log file as the viewer shows them: ended by LF or CR LF, cut at the first
// Ctrl+Z; the first line is taken before the end is tested, so an empty content gives one line.
std::vector<std::string> ViewerLines(std::string_view content);

class TLogboekForm {
public:
    static constexpr const char* ClassName = "TLogboekForm";
    static constexpr int BBOkId = 1;
    static constexpr int LogboekEditId = 2;

    // Creates and shows a viewer for AppDir's "kivoklok.log". The window frees itself when it
    // is closed; the returned pointer is valid until then.
    static TLogboekForm* Open(const std::string& appDir, FileSystem& files);

    HWND Handle() const { return window_; }
    HWND LogboekEdit() const { return edit_; }
    HWND BBOk() const { return ok_; }
    // What the last filling read; empty when the file could not be opened.
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    TLogboekForm(std::string appDir, FileSystem& files);
    ~TLogboekForm() = default;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Layout();
    void FormShow();
    void BBOkClick();

    std::string appDir_;
    FileSystem& files_;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    HWND ok_ = nullptr;
    int dpi_ = 96;
    UniqueFont font_;
    UniqueFont buttonFont_;
    std::vector<std::string> lines_;
};

} // namespace kivo
