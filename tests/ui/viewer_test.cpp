// The log viewer in-process under Wine: what it shows of a log at opening, and how the user
// scrolls, selects and copies in it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/mem_files.h"
#include "support/temp_dir.h"
#include "support/win32_test_util.h"
#include "ui/logboek.h"
#include "win32/fonts.h"

namespace kivo::test {
namespace {

const std::string Dir = "C:\\kivo\\";
const std::string LogPath = Dir + "kivoklok.log";

std::string Numbered(int count, std::vector<std::string>* lines = nullptr) {
    std::string log;
    for (int i = 0; i < count; ++i) {
        const std::string line = "regel " + std::to_string(i);
        if (lines) lines->push_back(line);
        log += line + "\r\n";
    }
    return log;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "(clipboard not open)";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::string& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// Common controls 6, as the program's manifest asks for: only their push button shows a picture
// beside its caption.
class CommonControls6 {
public:
    CommonControls6() {
        const std::string path = dir_.File("cc6.manifest");
        std::ofstream(path) << R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                      processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
</assembly>)";
        ACTCTXA context{};
        context.cbSize = sizeof context;
        context.lpSource = path.c_str();
        context_ = CreateActCtxA(&context);
        active_ = context_ != INVALID_HANDLE_VALUE && ActivateActCtx(context_, &cookie_);
    }
    ~CommonControls6() {
        if (active_) DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
    }
    CommonControls6(const CommonControls6&) = delete;
    CommonControls6& operator=(const CommonControls6&) = delete;
    bool Active() const { return active_; }

private:
    TempDir dir_;
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

struct Viewer : ::testing::Test {
    MemFiles files;
    TLogboekForm* viewer = nullptr;

    void SetUp() override { InitApp(); }
    void TearDown() override {
        OnDialogShown = nullptr;
        while (HWND window = FindWindowA(TLogboekForm::ClassName, nullptr)) DestroyWindow(window);
    }
    TLogboekForm& Open(const std::string& log) {
        files.files[LogPath] = log;
        viewer = TLogboekForm::Open(Dir, files);
        return *viewer;
    }
    HWND View() const { return viewer->LogboekEdit(); }
    const LineView& Place() const { return viewer->LogboekView.Place(); }
    LPARAM AtRow(int row) const {
        const int height = viewer->LogboekView.LineHeight();
        return MAKELPARAM(5, row * height + height / 2);
    }
    void ClickRow(int row, WPARAM keys = 0) {
        SendMessageA(View(), WM_LBUTTONDOWN, MK_LBUTTON | keys, AtRow(row));
        SendMessageA(View(), WM_LBUTTONUP, keys, AtRow(row));
    }
    SCROLLINFO Bar(int bar) const {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(View(), bar, &info);
        return info;
    }
};

TEST_F(Viewer, EmptyMissingAndLongLogsOpenAtTheNewestLine) {
    int shown = 0;
    OnDialogShown = [&](HWND dialog) {
        ++shown;
        Click(dialog, IDOK);
    };
    Open("");
    EXPECT_EQ(viewer->Lines(), std::vector<std::string>{""}) << "an empty file: one empty line";
    DestroyWindow(viewer->Hwnd());

    files.files.erase(LogPath);
    viewer = TLogboekForm::Open(Dir, files);
    EXPECT_TRUE(viewer->Lines().empty());
    EXPECT_FALSE(Place().selected);
    DestroyWindow(viewer->Hwnd());
    EXPECT_EQ(shown, 0) << "a missing log is silent";

    // Far more lines than the window holds, and a NUL that hides nothing after it.
    std::string line(199, 'x');
    std::string big;
    for (int i = 0; i < 1000; ++i) big += line + "\r\n";
    big[1000] = '\0';
    big.replace(big.size() - 7, 5, "einde");
    Open(big);
    const std::vector<std::string> lines = viewer->Lines();
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines[4][1000 - 4 * 201], NulMark);
    EXPECT_EQ(lines[999].substr(194), "einde");
    EXPECT_GT(viewer->LogboekView.Paints(), 0) << "drawn before Open returns";
    EXPECT_GT(Place().rows, 5u);
    EXPECT_EQ(Place().top, 1000 - Place().rows) << "the newest line at the bottom";
    EXPECT_EQ(Place().caret, 999u);
    EXPECT_FALSE(Place().selected);
    const SCROLLINFO vertical = Bar(SB_VERT);
    EXPECT_EQ(vertical.nMax, 999);
    EXPECT_EQ(vertical.nPage, Place().rows);
    EXPECT_EQ(vertical.nPos, static_cast<int>(Place().top));
    EXPECT_EQ(GetFocus(), View());
}

TEST_F(Viewer, KeysScrollTheLongestLineToItsEndAndTypingChangesNothing) {
    std::string log = Numbered(300);
    const std::string longLine = std::string(2999, 'x') + "y";
    log.insert(log.find("regel 150\r\n"), longLine + "\r\n");
    Open(log);
    const std::size_t rows = Place().rows, columns = Place().columns;
    ASSERT_GT(rows, 3u);
    ASSERT_EQ(Place().lines, 301u);

    PressKey(View(), VK_HOME, true);
    EXPECT_EQ(Place().top, 0u);
    EXPECT_EQ(Place().caret, 0u);
    PressKey(View(), VK_NEXT);
    EXPECT_EQ(Place().top, rows - 1);
    PressKey(View(), VK_DOWN, true);
    EXPECT_EQ(Place().top, rows);
    PressKey(View(), VK_END, true);
    EXPECT_EQ(Place().top, 301 - rows);
    EXPECT_EQ(Place().caret, 300u);

    // The scroll bar's end shows the longest line's end.
    SendMessageA(View(), WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(Place().left, 3001 - columns);
    const SCROLLINFO horizontal = Bar(SB_HORZ);
    EXPECT_EQ(horizontal.nMax, 3000);
    EXPECT_EQ(horizontal.nPage, columns);
    EXPECT_EQ(horizontal.nPos, static_cast<int>(3001 - columns));
    PressKey(View(), VK_HOME);
    EXPECT_EQ(Place().left, 0u);
    // End on the long line itself.
    for (int i = 0; i < 150; ++i) PressKey(View(), VK_UP);
    EXPECT_EQ(viewer->LogboekView.Lines().Line(Place().caret), longLine);
    PressKey(View(), VK_END);
    EXPECT_EQ(Place().left, 3001 - columns);
    SendMessageA(View(), WM_HSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(Place().left, 3000 - columns);

    // The wheel, away from the user: towards the oldest lines.
    UINT perNotch = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    const std::size_t top = Place().top;
    SendMessageA(View(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(Place().top, top - perNotch);
    SendMessageA(viewer->BBOk(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(Place().top, top) << "turned over the button";

    const std::vector<std::string> before = viewer->Lines();
    for (WPARAM c : {WPARAM('x'), WPARAM('\r'), WPARAM('\b'), WPARAM(22)})
        SendMessageA(View(), WM_CHAR, c, 0);
    for (UINT m : {WM_PASTE, WM_CUT, WM_CLEAR, WM_UNDO}) SendMessageA(View(), m, 0, 0);
    PressKey(View(), VK_DELETE);
    PressKey(View(), VK_BACK);
    EXPECT_EQ(viewer->Lines(), before);
    EXPECT_EQ(files.files[LogPath], log);
}

TEST_F(Viewer, LinesSelectedWithTheMouseAndTheKeysAreCopied) {
    std::vector<std::string> lines;
    Open(Numbered(50, &lines));
    const std::size_t top = Place().top;
    auto joined = [&](std::size_t first, std::size_t last) {
        std::string text = lines[first];
        for (std::size_t i = first + 1; i <= last; ++i) text += "\r\n" + lines[i];
        return text;
    };
    SetClipboardText("vooraf");
    SendMessageA(View(), WM_CHAR, 3, 0);
    EXPECT_EQ(ClipboardText(), "vooraf") << "nothing selected, nothing copied";

    ClickRow(1);
    ClickRow(3, MK_SHIFT);
    EXPECT_EQ(Place().Selection(), std::make_pair(top + 1, top + 3));
    SendMessageA(View(), WM_CHAR, 3, 0); // Ctrl+C
    EXPECT_EQ(ClipboardText(), joined(top + 1, top + 3));

    PressKey(View(), VK_UP, false, true);
    SendMessageA(View(), WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), joined(top + 1, top + 2));
    PressKey(View(), VK_DOWN);
    PressKey(View(), VK_INSERT, true);
    EXPECT_EQ(ClipboardText(), lines[top + 3]);

    // Dragging down, then above the view: the view follows. The pointer itself waits there too,
    // as the moves it makes while the messages are handled say where it is.
    POINT above{5, -3 * viewer->LogboekView.LineHeight()};
    ClientToScreen(View(), &above);
    SetCursorPos(above.x, above.y);
    PumpFor(50);
    SendMessageA(View(), WM_LBUTTONDOWN, MK_LBUTTON, AtRow(0));
    SendMessageA(View(), WM_MOUSEMOVE, MK_LBUTTON, AtRow(2));
    EXPECT_EQ(Place().Selection(), std::make_pair(top, top + 2));
    SendMessageA(View(), WM_MOUSEMOVE, MK_LBUTTON, AtRow(-3));
    EXPECT_EQ(Place().top, top - 3);
    PumpUntil([&] { return Place().top == 0; }, 3000);
    EXPECT_EQ(Place().top, 0u) << "held above the view, it goes on scrolling";
    SendMessageA(View(), WM_LBUTTONUP, 0, AtRow(-3));
    EXPECT_EQ(Place().Selection(), std::make_pair(std::size_t{0}, top));

    SendMessageA(View(), WM_CHAR, 1, 0); // Ctrl+A
    SendMessageA(View(), WM_CHAR, 3, 0);
    EXPECT_EQ(ClipboardText(), joined(0, 49));
}

TEST_F(Viewer, TabReachesOkEnterClosesAndTheWindowKeepsItsShape) {
    CommonControls6 controls;
    ASSERT_TRUE(controls.Active());
    Open(Numbered(5));
    const int dpi = ScreenDpi();
    RECT outer;
    GetWindowRect(viewer->Hwnd(), &outer);
    EXPECT_EQ(outer.right - outer.left, Scaled(440, dpi));
    EXPECT_EQ(outer.bottom - outer.top, Scaled(322, dpi));
    EXPECT_TRUE(GetWindowLongA(viewer->Hwnd(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    HWND ok = viewer->BBOk();
    EXPECT_EQ(WindowText(ok), "OK");
    EXPECT_EQ(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(SendMessageA(ok, BM_GETIMAGE, IMAGE_BITMAP, 0)) << "the OK picture";
    RECT client, button;
    GetClientRect(viewer->Hwnd(), &client);
    GetWindowRect(ok, &button);
    MapWindowPoints(nullptr, viewer->Hwnd(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.left, Scaled(179, dpi));
    EXPECT_EQ(button.top, client.bottom - Scaled(41, dpi) + Scaled(8, dpi));
    EXPECT_EQ(button.right - button.left, Scaled(75, dpi));

    auto dispatch = [](HWND to, UINT key) {
        MSG msg{to, WM_KEYDOWN, key, 1, GetTickCount(), {}};
        DispatchWithDialogKeys(msg);
    };
    ASSERT_EQ(GetFocus(), View());
    dispatch(View(), VK_TAB);
    EXPECT_EQ(GetFocus(), ok);
    dispatch(ok, VK_TAB);
    EXPECT_EQ(GetFocus(), View());
    dispatch(View(), VK_RETURN);
    EXPECT_TRUE(PumpUntil([] { return !IsFormOpen(TLogboekForm::ClassName); }, 2000));
}

TEST_F(Viewer, AReadErrorIsShownWithTheLinesBeforeIt) {
    std::vector<ShownBox> boxes;
    OnDialogShown = [&](HWND dialog) {
        boxes.push_back(ReadBox(dialog));
        Click(dialog, IDOK);
    };
    files.readFailsAt[LogPath] = 20;
    Open("regel een\r\nregel twee\r\nregel drie\r\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message.rfind("Read error: ", 0), 0u) << boxes[0].message;
    EXPECT_TRUE(boxes[0].hasIcon);
    EXPECT_EQ(viewer->Lines(), std::vector<std::string>{"regel een"});
    EXPECT_TRUE(IsWindowVisible(viewer->Hwnd()));
}

} // namespace
} // namespace kivo::test
