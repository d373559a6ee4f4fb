#include "win32/dialogs.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/win32_test_util.h"
#include "win32/hirestimer.h"

namespace kivo {
namespace {

using test::Click;
using test::DialogHook;
using test::ReadBox;
using test::ShownBox;

void PressKey(HWND target, WPARAM key) {
    PostMessageA(target, WM_KEYDOWN, key, 0);
}

TEST(MessageDialog, YesNoWarningWithEmptyTitle) {
    test::InitApp();
    ShownBox box;
    std::string yes, no;
    HWND focus = nullptr;
    {
        DialogHook hook([&](HWND dialog) {
            box = ReadBox(dialog);
            yes = WindowText(GetDlgItem(dialog, mrYes));
            no = WindowText(GetDlgItem(dialog, mrNo));
            focus = GetFocus();
            EXPECT_EQ(focus, GetDlgItem(dialog, mrYes)) << "focus starts on the first button";
            PressKey(GetFocus(), VK_RETURN);
        });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "Doorgaan?", mtWarning, mbYes | mbNo, 0, ""),
                  mrYes);
    }
    EXPECT_EQ(box.caption, "Waarschuwing");
    EXPECT_EQ(box.message, "Doorgaan?");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, 2);
    EXPECT_EQ(yes, "&Ja");
    EXPECT_EQ(no, "&Nee");

    {
        DialogHook hook([](HWND) { PressKey(GetFocus(), VK_ESCAPE); });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "Doorgaan?", mtWarning, mbYes | mbNo, 0, ""),
                  mrNo);
    }
    {
        DialogHook hook([](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "Doorgaan?", mtWarning, mbYes | mbNo, 0, ""),
                  mrCancel);
    }
    {
        DialogHook hook([](HWND dialog) { Click(dialog, mrNo); });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "Doorgaan?", mtWarning, mbYes | mbNo, 0, ""),
                  mrNo);
    }
}

TEST(MessageDialog, CaptionsPerType) {
    test::InitApp();
    std::vector<std::string> captions;
    DialogHook hook([&](HWND dialog) {
        captions.push_back(WindowText(dialog));
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    ShowMessageDialog(nullptr, "KIVO Klok", "x", mtWarning, mbYes | mbNo, 0, "");
    ShowMessageDialog(nullptr, "KIVO Schakelklok", "x", mtConfirmation, mbYes | mbNo, 0, "");
    ShowMessageDialog(nullptr, "T", "x", mtError, mbOK, 0, "");
    ShowMessageDialog(nullptr, "", "x", mtInformation, mbOK, 0, "");
    EXPECT_EQ(captions, (std::vector<std::string>{"KIVO Klok - Waarschuwing",
                                                  "KIVO Schakelklok - Bevestiging", "T - Fout",
                                                  "Informatie"}));
}

TEST(MessageDialog, AllButtonsInOrderWithTheirCaptions) {
    test::InitApp();
    const std::vector<std::pair<int, std::string>> expected = {{mrYes, "&Ja"},
                                                               {mrNo, "&Nee"},
                                                               {mrOk, "OK"},
                                                               {mrCancel, "Annuleren"},
                                                               {mrAbort, "&Afbreken"},
                                                               {mrRetry, "&Opnieuw"},
                                                               {mrIgnore, "&Ignore"},
                                                               {mrAll, "&All"},
                                                               {mrNoToAll, "N&ee voor Alle"},
                                                               {mrYesToAll, "Ja voor &Alle"},
                                                               {kDialogHelpButtonId, "&Help"}};
    std::vector<std::string> captions;
    std::vector<int> lefts;
    bool openAfterHelp = false;
    DialogHook hook([&](HWND dialog) {
        for (const auto& [id, caption] : expected) {
            HWND button = GetDlgItem(dialog, id);
            captions.push_back(WindowText(button));
            RECT r{};
            GetWindowRect(button, &r);
            lefts.push_back(r.left);
        }
        Click(dialog, kDialogHelpButtonId);
        openAfterHelp = IsWindowVisible(dialog) != FALSE;
        Click(dialog, mrNoToAll);
    });
    EXPECT_EQ(ShowMessageDialog(nullptr, "", "Alles", mtConfirmation, 0x7FF, 0, ""), mrNoToAll);
    ASSERT_EQ(captions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(captions[i], expected[i].second);
        if (i > 0) {
            EXPECT_GT(lefts[i], lefts[i - 1]) << expected[i].second;
        }
    }
    EXPECT_TRUE(openAfterHelp) << "Help does not close the dialog";
}

TEST(MessageDialog, DefaultAndCancelButtons) {
    test::InitApp();
    auto answer = [](unsigned buttons, WPARAM key) {
        DialogHook hook([key](HWND) { PressKey(GetFocus(), key); });
        return ShowMessageDialog(nullptr, "", "?", mtConfirmation, buttons, 0, "");
    };
    EXPECT_EQ(answer(mbOK | mbCancel, VK_RETURN), mrOk);
    EXPECT_EQ(answer(mbOK | mbCancel, VK_ESCAPE), mrCancel);
    EXPECT_EQ(answer(mbYes | mbNo | mbCancel, VK_ESCAPE), mrCancel);
    EXPECT_EQ(answer(mbOK, VK_ESCAPE), mrOk);
    EXPECT_EQ(answer(mbAbort | mbRetry | mbIgnore, VK_RETURN), mrAbort)
        << "focus on the first button: Enter presses it";

    // Without a focused button Enter goes to the default: Retry here, and Escape does nothing
    // without Cancel, No or OK.
    int result = 0;
    {
        DialogHook hook([](HWND dialog) {
            SetFocus(dialog);
            PressKey(dialog, VK_ESCAPE);
            PressKey(dialog, VK_RETURN);
        });
        result = ShowMessageDialog(nullptr, "", "?", mtError, mbAbort | mbRetry | mbIgnore, 0, "");
    }
    EXPECT_EQ(result, mrRetry);
    {
        DialogHook hook([](HWND dialog) {
            SetFocus(dialog);
            PressKey(dialog, VK_RETURN);
        });
        result = ShowMessageDialog(nullptr, "", "?", mtConfirmation, mbYes | mbNo | mbOK, 0, "");
    }
    EXPECT_EQ(result, mrOk) << "OK wins over Yes as default";
}

TEST(MessageDialog, FocusNameWithOrWithoutPrefix) {
    test::InitApp();
    for (const char* name : {"No", "no", "mbno", "MBNo", "mBNO"}) {
        bool focusedNo = false;
        DWORD defaultId = 0;
        DialogHook hook([&](HWND dialog) {
            focusedNo = GetFocus() == GetDlgItem(dialog, mrNo);
            defaultId = LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0));
            PressKey(GetFocus(), VK_RETURN);
        });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "?", mtWarning, mbYes | mbNo, 0, name), mrNo)
            << name;
        EXPECT_TRUE(focusedNo) << name;
        EXPECT_EQ(defaultId, static_cast<DWORD>(mrYes)) << "Yes stays the default";
    }
    // Unknown names, and names of controls that are not buttons, leave the focus on the first.
    for (const char* name : {"Cancel", "mb", "Message", "Image", "mbmbNo"}) {
        DialogHook hook([](HWND) { PressKey(GetFocus(), VK_RETURN); });
        EXPECT_EQ(ShowMessageDialog(nullptr, "", "?", mtWarning, mbYes | mbNo, 0, name), mrYes)
            << name;
    }
}

TEST(MessageDialog, ModalButTimersAndWaitingMessagesRun) {
    test::InitApp();
    HWND other = CreateWindowExA(0, "STATIC", "ander venster", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    THiResTimer timer;
    timer.SetInterval(60000);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);

    timer.PostTick(timer.ArmingId()); // waiting before the question: handled first
    int ticksWhenShown = -1;
    bool otherEnabled = true;
    DialogHook hook([&](HWND dialog) {
        ticksWhenShown = ticks;
        otherEnabled = IsWindowEnabled(other) != FALSE;
        timer.PostTick(timer.ArmingId()); // comes in while the question is open
        Click(dialog, mrYes);
    });
    // The click ends the loop at once; the posted tick is handled by the next pump.
    EXPECT_EQ(ShowMessageDialog(nullptr, "", "?", mtWarning, mbYes | mbNo, 0, ""), mrYes);
    test::PumpFor(20);
    EXPECT_EQ(ticksWhenShown, 1);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_EQ(ticks, 2);

    // A tick while the dialog waits for an answer runs inside its loop.
    int ticksBeforeAnswer = -1;
    DialogHook waiting([&](HWND dialog) {
        timer.PostTick(timer.ArmingId());
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        ticksBeforeAnswer = ticks;
    });
    EXPECT_EQ(ShowMessageDialog(nullptr, "", "?", mtWarning, mbYes | mbNo, 0, ""), mrNo);
    EXPECT_EQ(ticksBeforeAnswer, 2);
    EXPECT_EQ(ticks, 3);
    DestroyWindow(other);
}

TEST(MessageDialog, PlainMessageAndErrorDisplay) {
    test::InitApp();
    std::vector<ShownBox> shown;
    std::vector<std::string> okCaptions;
    DialogHook hook([&](HWND dialog) {
        shown.push_back(ReadBox(dialog));
        okCaptions.push_back(WindowText(GetDlgItem(dialog, mrOk)));
        PressKey(GetFocus(), VK_RETURN);
    });
    const std::string& title = TApplication::Instance().Title();
    ShowPlainMessage(nullptr, title, "Cannot open file \"x\".");
    ShowErrorDisplay(nullptr, title, "Stream write error");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, title);
    EXPECT_EQ(shown[0].message, "Cannot open file \"x\".");
    EXPECT_FALSE(shown[0].hasIcon);
    EXPECT_EQ(shown[0].buttons, 1);
    EXPECT_EQ(shown[1].caption, title);
    EXPECT_EQ(shown[1].message, "Stream write error.");
    EXPECT_TRUE(shown[1].hasIcon);
    EXPECT_EQ(shown[1].buttons, 1);
    EXPECT_EQ(okCaptions, (std::vector<std::string>{"OK", "OK"}));
}

// A box answered while another one stands above it is released at once, not when the upper one
// closes: until then the same message would get no box although none is visible.
TEST(MessageDialog, ABoxUnderAnotherIsReleasedWhenAnswered) {
    test::InitApp();
    HWND lower = nullptr;
    bool lowerReleased = false, releasedWhileUpperOpen = false;
    DialogHook hook([&](HWND dialog) {
        if (!lower) {
            lower = dialog;
            ShowPlainMessage(nullptr, "t", "boven"); // a box above it, from its own loop
            return;
        }
        SendMessageA(lower, WM_COMMAND, MAKEWPARAM(mrOk, BN_CLICKED), 0);
        releasedWhileUpperOpen = lowerReleased;
        Click(dialog, mrOk);
    });
    ShowErrorDisplay(nullptr, "t", "onder", [&] { lowerReleased = true; });
    EXPECT_TRUE(releasedWhileUpperOpen);
}

TEST(MessageDialog, ErrorTextGetsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorDisplayText(""), "");
    EXPECT_EQ(ErrorDisplayText("fout"), "fout.");
    EXPECT_EQ(ErrorDisplayText("fout."), "fout.");
    EXPECT_EQ(ErrorDisplayText("fout-"), "fout-"); // '-' sorts before '.'
    EXPECT_EQ(ErrorDisplayText("fout!"), "fout!");
    EXPECT_EQ(ErrorDisplayText("fout /"), "fout /.");
    EXPECT_EQ(ErrorDisplayText("12:00"), "12:00.");
    EXPECT_EQ(ErrorDisplayText("fout\""), "fout\"");
    EXPECT_EQ(ErrorDisplayText("caf\xE9"), "caf\xE9.") << "bytes above 127 sort after '.'";
}

TEST(IsFormOpen, FindsWindowsByClassNameCaseBlind) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TLogboekForm";
    RegisterClassExA(&wc);
    EXPECT_FALSE(IsFormOpen("TLogboekForm"));
    HWND form = CreateWindowExA(0, "TLogboekForm", "Logboek", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(IsFormOpen("TLogboekForm")) << "hidden windows count";
    EXPECT_TRUE(IsFormOpen("tlogboekform"));
    EXPECT_TRUE(IsFormOpen("TLOGBOEKFORM"));
    EXPECT_FALSE(IsFormOpen("TLogboekForm2"));
    EXPECT_FALSE(IsFormOpen("TLogboek"));
    EXPECT_FALSE(IsFormOpen(""));
    DestroyWindow(form);
    EXPECT_FALSE(IsFormOpen("tlogboekform"));
}

} // namespace
} // namespace kivo
