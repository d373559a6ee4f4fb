#pragma once
// A framed panel whose lines of text rise through it, drawn step by step on a thread of its own.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "algemeen/stepticker.h"
#include "ui/creditslayout.h"
#include "win32/window.h"

namespace kivo {

class TCreditsPanel : public Window {
public:
    static constexpr const char* ClassName = "TCreditsPanel";
    enum class TAlignment { Left, Right, Center };
    enum class TScrollDirection { Vertical, Horizontal };
    enum class TBevel { None, Lowered, Raised };
    enum class TGlyphLayout { Left, Right };
    using TTextStyle = credits::TextStyle;

    TCreditsPanel();
    ~TCreditsPanel() override;

    // Creates the panel as a child window at its box; it is not active yet.
    void Create(HWND parent, int id, const Box& box, DWORD extraStyle = 0);

    // Starts or stops the scrolling. Starting may throw (no thread); the panel then stays inactive.
    void SetActive(bool active);
    bool Active() const { return active_; }
    // Pause between two steps in milliseconds; 0 stops the steps where they are. Takes effect at
    // once, and always between two steps.
    void SetInterval(unsigned ms);
    unsigned Interval() const { return ticker_.Interval(); }
    void SetCycled(bool cycled);
    bool Cycled() const { return cycled_; }
    void SetLines(std::vector<std::string> lines);
    const std::vector<std::string>& Lines() const { return lines_; }
    void SetAlignment(TAlignment alignment);
    void SetTextStyle(TTextStyle style);
    // The font is the caller's and must outlive the panel's activity.
    void SetFont(HFONT font);
    void SetFontColor(COLORREF color);
    void SetColor(COLORREF color);
    void SetBevels(TBevel outer, TBevel inner, int bevelWidth, int borderWidth);
    // A picture beside the text, the caller's; none by default.
    void SetGlyph(HBITMAP glyph, TGlyphLayout layout);
    // Only the vertical direction is drawn; the setting is kept for the callers that name it.
    TScrollDirection ScrollDirection = TScrollDirection::Vertical;
    // True: the steps are drawn on the scroll thread; false: handed to the user-interface thread.
    bool AsyncDrawing = true;

    std::function<void()> OnStartPlay;
    std::function<void()> OnStopPlay;
    // A custom background painter; runs on the scroll thread for the frames it draws.
    std::function<void(HDC, const RECT&)> OnPaintClient;
    std::function<void()> OnClick;

    int ScrollPos() const;
    int ScrollLimit() const;
    int FirstTextLine() const;
    int LineStep() const;
    credits::Box TextArea() const;
    credits::Box PaintArea() const;

    // For tests and measurements: the text area as the latest frame drew it (top-down, 32-bit
    // pixels, 0x00RRGGBB); empty while inactive.
    std::vector<std::uint32_t> FramePixels() const;
    // Scroll threads running in the process.
    static int RunningThreads() { return StepTicker::RunningThreads(); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class FrameImage;

    void Layout();     // under frameLock_
    void Deactivate(); // on the user-interface thread
    // One scroll step; false once a panel that is not cycled has shown its last line.
    bool Step();
    // The ticker's step: Step on the ticker's thread, or handed to the user-interface thread.
    bool TickerStep();
    void DrawFrame();   // under frameLock_
    void Paint(HDC dc); // under surfaceLock_
    void Click();

    std::vector<std::string> lines_;
    TAlignment alignment_ = TAlignment::Center;
    TTextStyle textStyle_ = TTextStyle::None;
    bool cycled_ = false;
    HFONT font_ = nullptr;
    COLORREF fontColor_;
    COLORREF color_;
    TBevel bevelOuter_ = TBevel::Lowered;
    TBevel bevelInner_ = TBevel::None;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    HBITMAP glyph_ = nullptr;
    TGlyphLayout glyphLayout_ = TGlyphLayout::Left;

    bool active_ = false;
    int scrollPos_ = 0;
    int scrollLimit_ = 0;
    int firstTextLine_ = 0;
    std::uint8_t lineStep_ = 0;
    credits::Box paintArea_, textArea_;
    std::unique_ptr<FrameImage> frameImage_;
    std::vector<HWND> hiddenChildren_;
    bool pressed_ = false;

    // Lock order: frameLock_ before surfaceLock_, and frameLock_ before the ticker's own lock
    // (Interval). The ticker holds no lock while it runs a step.
    mutable std::mutex frameLock_;      // FrameImage and what a frame is drawn from
    std::mutex surfaceLock_;            // the panel's window surface
    std::atomic<bool> enabled_{false};  // steps draw only while set; cleared under frameLock_
    std::atomic<bool> finished_{false}; // a panel that is not cycled came to its end
    unsigned activation_ = 0;
    std::atomic<bool> stepPosted_{false};
    // Last, so that it goes first: its thread runs steps on the members above.
    StepTicker ticker_{30};
};

} // namespace kivo
