#pragma once
// The program's modal dialogs: the question dialog, the plain message box, the error display.
#include <windows.h>

#include <functional>
#include <string>

#include "win32/modal.h" // OnDialogShown

namespace kivo {

enum MsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };
enum MsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10
};

// Codes returned by ShowMessageDialog.
enum ModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10
};

// The Help button's control id: it answers nothing and does not close the dialog.
inline constexpr int kDialogHelpButtonId = 11;

// A modal question. Buttons stand in the order of MsgDlgBtn with Dutch captions, control ids are
// the codes they return (GetDlgItem(dialog, mrNo) is the "&Nee" button). Enter presses the focused
// button, else the default (OK, Yes, Retry); Escape the cancel button (Cancel, No, OK); the close
// box returns mrCancel. focusName names a button ("No", "mbNo", case-blind) to focus first.
// Other windows of the thread are disabled meanwhile; their timers and tray messages still run.
// The dialog is owned by `owner` (may be null); `title` is the caller's, the caption adds the
// type's word.
int ShowMessageDialog(HWND owner, const std::string& title, const std::string& message, int type,
                      unsigned buttons, int helpContext, const std::string& focusName);
// The plain confirmation: a question icon, "OK" and "Cancel"; returns mrOk or mrCancel.
int ShowConfirmation(HWND owner, const std::string& caption, const std::string& message);
// The plain message box: no icon, "OK"; the caption is `title` (the program passes its
// application title). `closed` is told once the box is answered, which for a box under another
// box comes before the call returns.
void ShowPlainMessage(HWND owner, const std::string& title, const std::string& message,
                      const std::function<void()>& closed = {});
// The top-level error display: stop icon, "OK", the message with the full-stop rule below.
void ShowErrorDisplay(HWND owner, const std::string& title, const std::string& message,
                      const std::function<void()>& closed = {});
// The error display's text: a full stop is added when the last character sorts after '.'.
std::string ErrorDisplayText(const std::string& message);
bool IsFormOpen(const std::string& className);

} // namespace kivo
