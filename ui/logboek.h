#pragma once
// The log viewer: a non-modal window that shows the log book as it was when the window opened.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/logview.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

class FileSystem;

class TLogboekForm : public Window {
public:
    static constexpr const char* ClassName = "TLogboekForm";
    static constexpr int BBOkId = 1;
    static constexpr int LogboekEditId = 2;

    // Creates and shows a viewer for AppDir's "kivoklok.log", read once and shown at its newest
    // line. The window frees itself when it is closed; the returned pointer is valid until then.
    static TLogboekForm* Open(const std::string& appDir, FileSystem& files);

    HWND LogboekEdit() const { return LogboekView.Hwnd(); }
    HWND BBOk() const { return ok_; }
    // Every line shown; none when the file could not be opened. For small logs.
    std::vector<std::string> Lines() const;

    TLogView LogboekView;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDpiChanged() override;
    void OnColorsChanged() override { MakePicture(); } // it holds the button face
    HWND DefaultFocus() const override { return LogboekEdit(); }
    void OnFinalMessage() override {
        if (freesItself_) delete this;
    }

private:
    TLogboekForm(std::string appDir, FileSystem& files);
    ~TLogboekForm() override = default;
    void CreateControls();
    void MakeFonts();
    void MakePicture();
    void Layout();
    void FormShow();
    void BBOkClick();

    std::string appDir_;
    FileSystem& files_;
    HWND ok_ = nullptr;
    UniqueFont font_;
    UniqueFont buttonFont_;
    UniqueBitmap okPicture_;
    bool freesItself_ = false; // set once the window exists, so a failed creation frees it once
};

} // namespace kivo
