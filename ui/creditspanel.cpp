#include "ui/creditspanel.h"

#include <windowsx.h>

#include "algemeen/scopeexit.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "win32/handles.h"

namespace kivo {

namespace {

// Posted by the scroll thread; wParam is the activation they belong to, so that a message that
// arrives after the panel was stopped and started again is ignored.
constexpr UINT kDeactivateMessage = WM_APP + 1;
constexpr UINT kStepMessage = WM_APP + 2;

RECT ToRect(const credits::Box& b) {
    return RECT{b.left, b.top, b.right, b.bottom};
}

} // namespace

// The text area as the latest step drew it: a 32-bit top-down DIB section in a memory DC.
class TCreditsPanel::FrameImage {
public:
    explicit FrameImage(HWND window) : dc_(WindowDC(window).get()) {
        if (!dc_.get()) throw KivoError("Out of system resources: " + LastErrorText());
        SetBkMode(dc_.get(), TRANSPARENT);
    }
    ~FrameImage() {
        // Out of the DC before the DC and the bitmap go.
        if (oldFont_) SelectObject(dc_.get(), oldFont_);
        if (oldBitmap_) SelectObject(dc_.get(), oldBitmap_);
    }
    FrameImage(const FrameImage&) = delete;
    FrameImage& operator=(const FrameImage&) = delete;

    HDC Dc() const { return dc_.get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::uint32_t* Bits() const { return bits_; }

    void SetSize(int width, int height) {
        width = std::max(width, 1);
        height = std::max(height, 1);
        if (bitmap_ && width == width_ && height == height_) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) throw KivoError("Out of system resources: " + LastErrorText());
        HGDIOBJ old = SelectObject(dc_.get(), bitmap);
        if (!oldBitmap_) oldBitmap_ = old;
        bitmap_.reset(bitmap); // the one selected before is out of the DC now
        bits_ = static_cast<std::uint32_t*>(bits);
        width_ = width;
        height_ = height;
    }
    void SetFont(HFONT font) {
        HGDIOBJ old = SelectObject(dc_.get(), font);
        if (!oldFont_) oldFont_ = old;
    }

private:
    MemoryDC dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

TCreditsPanel::TCreditsPanel()
    : fontColor_(GetSysColor(COLOR_WINDOWTEXT)), color_(GetSysColor(COLOR_BTNFACE)) {}

TCreditsPanel::~TCreditsPanel() {
    if (active_) Deactivate();
    ticker_.Stop();
    DestroyHwnd();
}

void TCreditsPanel::Create(HWND parent, int id, const Box& box, DWORD extraStyle) {
    WindowClassInfo info;
    info.name = ClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.background = nullptr; // the panel paints all of itself
    CreateWindowOf(info, 0, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | extraStyle, 0, 0, 0, 0,
                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    Place(Hwnd(), box); // at the parent's DPI, which the panel takes when it is made
}

// ---- Settings ----

void TCreditsPanel::SetActive(bool active) {
    if (active == active_) return;
    if (!active) {
        Deactivate();
        return;
    }
    {
        ScopeExit undo([this] {
            ticker_.Stop();
            enabled_ = false;
            std::lock_guard frame(frameLock_);
            frameImage_.reset();
        });
        {
            std::lock_guard frame(frameLock_);
            scrollPos_ = 0;
            ++activation_;
            Layout();
        }
        enabled_ = true;
        finished_ = false;
        stepPosted_ = false; // one posted to a window that went is never handled
        ticker_.Start([this] { return TickerStep(); });
        undo.Dismiss();
    }
    active_ = true;
    if (OnStartPlay) OnStartPlay();
    for (HWND child = GetWindow(Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        hiddenChildren_.push_back(child);
        ShowWindow(child, SW_HIDE);
    }
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TCreditsPanel::Deactivate() {
    {
        std::lock_guard frame(frameLock_);
        enabled_ = false;
        scrollPos_ = 0;
        frameImage_.reset();
        ++activation_;
    }
    // A step waiting for the frame lock sees the steps disabled and returns; the thread ends.
    ticker_.Stop();
    active_ = false;
    if (OnStopPlay) OnStopPlay();
    for (HWND child : hiddenChildren_)
        if (IsWindow(child)) ShowWindow(child, SW_SHOW);
    hiddenChildren_.clear();
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TCreditsPanel::SetInterval(unsigned ms) {
    ticker_.SetInterval(ms);
}

void TCreditsPanel::SetCycled(bool cycled) {
    std::lock_guard frame(frameLock_);
    cycled_ = cycled;
}

void TCreditsPanel::SetLines(std::vector<std::string> lines) {
    std::lock_guard frame(frameLock_);
    lines_ = std::move(lines);
    if (!active_) return;
    scrollPos_ = 0;
    Layout();
}

void TCreditsPanel::SetAlignment(TAlignment alignment) {
    std::lock_guard frame(frameLock_);
    alignment_ = alignment;
}

void TCreditsPanel::SetTextStyle(TTextStyle style) {
    std::lock_guard frame(frameLock_);
    textStyle_ = style;
    if (active_) Layout();
}

void TCreditsPanel::SetFont(HFONT font) {
    std::lock_guard frame(frameLock_);
    font_ = font;
    if (active_) Layout();
}

void TCreditsPanel::SetFontColor(COLORREF color) {
    std::lock_guard frame(frameLock_);
    fontColor_ = color;
}

void TCreditsPanel::SetColor(COLORREF color) {
    {
        std::lock_guard frame(frameLock_);
        color_ = color;
        if (active_) Layout();
    }
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TCreditsPanel::SetBevels(TBevel outer, TBevel inner, int bevelWidth, int borderWidth) {
    {
        std::lock_guard frame(frameLock_);
        bevelOuter_ = outer;
        bevelInner_ = inner;
        bevelWidth_ = std::max(0, bevelWidth);
        borderWidth_ = std::max(0, borderWidth);
        if (active_) Layout();
    }
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TCreditsPanel::SetGlyph(HBITMAP glyph, TGlyphLayout layout) {
    glyph_ = glyph;
    glyphLayout_ = layout;
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

int TCreditsPanel::ScrollPos() const {
    std::lock_guard frame(frameLock_);
    return scrollPos_;
}
int TCreditsPanel::ScrollLimit() const {
    std::lock_guard frame(frameLock_);
    return scrollLimit_;
}
int TCreditsPanel::FirstTextLine() const {
    std::lock_guard frame(frameLock_);
    return firstTextLine_;
}
int TCreditsPanel::LineStep() const {
    std::lock_guard frame(frameLock_);
    return lineStep_;
}
credits::Box TCreditsPanel::TextArea() const {
    std::lock_guard frame(frameLock_);
    return textArea_;
}
credits::Box TCreditsPanel::PaintArea() const {
    std::lock_guard frame(frameLock_);
    return paintArea_;
}

std::vector<std::uint32_t> TCreditsPanel::FramePixels() const {
    std::lock_guard frame(frameLock_);
    if (!frameImage_) return {};
    GdiFlush();
    const std::uint32_t* bits = frameImage_->Bits();
    std::vector<std::uint32_t> pixels(bits, bits + frameImage_->Width() * frameImage_->Height());
    for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

// ---- Layout and drawing ----

void TCreditsPanel::Layout() {
    if (!Hwnd()) return;
    if (!frameImage_) frameImage_ = std::make_unique<FrameImage>(Hwnd());
    firstTextLine_ = credits::FirstTextLine(lines_);

    HFONT font = font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    frameImage_->SetFont(font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(frameImage_->Dc(), &metrics);
    lineStep_ = credits::LineStep(metrics.tmHeight, metrics.tmExternalLeading, textStyle_);

    RECT client{};
    GetClientRect(Hwnd(), &client);
    const int bevels = (bevelOuter_ != TBevel::None) + (bevelInner_ != TBevel::None);
    credits::Areas areas = credits::LayoutAreas(
        {client.left, client.top, client.right, client.bottom}, borderWidth_, bevelWidth_, bevels);
    paintArea_ = areas.paint;
    textArea_ = areas.text;
    scrollLimit_ = credits::ScrollLimit(textArea_.Height(), static_cast<int>(lines_.size()),
                                        firstTextLine_, lineStep_);

    frameImage_->SetSize(textArea_.Width(), textArea_.Height());
    frameImage_->SetFont(font);
    FillSolid(frameImage_->Dc(), RECT{0, 0, frameImage_->Width(), frameImage_->Height()}, color_);
}

bool TCreditsPanel::Step() {
    std::lock_guard frame(frameLock_);
    // Paused or stopped since the wait ended: no step.
    if (!enabled_ || ticker_.Interval() == 0) return true;
    if (credits::NextScrollPos(scrollPos_, scrollLimit_, cycled_) == credits::Step::Finished) {
        if (Hwnd()) PostMessageA(Hwnd(), kDeactivateMessage, activation_, 0);
        return false;
    }
    if (frameImage_) DrawFrame();
    return true;
}

void TCreditsPanel::DrawFrame() {
    if (lines_.empty() || textArea_.Empty() || !Hwnd()) return;
    HDC dc = frameImage_->Dc();
    const int width = textArea_.Width();
    const int height = textArea_.Height();
    const RECT all{0, 0, width, height};
    if (OnPaintClient)
        OnPaintClient(dc, all);
    else
        FillSolid(dc, all, color_);

    UINT format = DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | DT_NOPREFIX;
    format |= alignment_ == TAlignment::Left    ? DT_LEFT
              : alignment_ == TAlignment::Right ? DT_RIGHT
                                                : DT_CENTER;
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const int shadow = textStyle_ == TTextStyle::Raised ? 1 : -1;
    credits::ForEachVisibleLine(static_cast<int>(lines_.size()), firstTextLine_, lineStep_, height,
                                scrollPos_, [&](int index, int top) {
                                    std::string_view text = credits::DrawnText(lines_[index]);
                                    const int length = static_cast<int>(text.size());
                                    RECT box{0, top, width, top + lineStep_};
                                    if (textStyle_ != TTextStyle::None) {
                                        RECT offset{box.left + shadow, box.top + shadow,
                                                    box.right + shadow, box.bottom + shadow};
                                        SetTextColor(dc, highlight);
                                        DrawTextA(dc, text.data(), length, &offset, format);
                                    }
                                    SetTextColor(dc, fontColor_);
                                    DrawTextA(dc, text.data(), length, &box, format);
                                });

    std::lock_guard surface(surfaceLock_);
    {
        WindowDC target(Hwnd());
        BitBlt(target.get(), textArea_.left, textArea_.top, width, height, dc, 0, 0, SRCCOPY);
    }
    GdiFlush();
    RECT done = ToRect(textArea_);
    ValidateRect(Hwnd(), &done);
}

void TCreditsPanel::Paint(HDC dc) {
    RECT client{};
    GetClientRect(Hwnd(), &client);
    auto bevel = [&](TBevel kind, RECT& r) {
        if (kind == TBevel::None) return;
        for (int i = 0; i < bevelWidth_; ++i) {
            DrawEdge(dc, &r, kind == TBevel::Lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            InflateRect(&r, -1, -1);
        }
    };
    RECT r = client;
    bevel(bevelOuter_, r);
    FillSolid(dc, r, color_);
    InflateRect(&r, -borderWidth_, -borderWidth_);
    bevel(bevelInner_, r);
    const RECT inside =
        ToRect(paintArea_.Empty() ? credits::Box{r.left, r.top, r.right, r.bottom} : paintArea_);
    if (OnPaintClient)
        OnPaintClient(dc, inside);
    else
        FillSolid(dc, inside, color_);

    if (GetFocus() == Hwnd()) { // in the ring around the text area, which the steps leave alone
        RECT focus = inside;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }

    BITMAP picture{};
    if (active_ && glyph_ && GetObjectA(glyph_, sizeof picture, &picture)) {
        MemoryDC source(dc);
        if (source.get()) {
            SelectedObject selected(source.get(), glyph_);
            const int x =
                glyphLayout_ == TGlyphLayout::Left ? inside.left : inside.right - picture.bmWidth;
            const int y = (inside.top + inside.bottom - picture.bmHeight) / 2;
            BitBlt(dc, x, y, picture.bmWidth, picture.bmHeight, source.get(), 0, 0, SRCCOPY);
        }
    }
}

// ---- The scroll timer ----

bool TCreditsPanel::TickerStep() {
    if (AsyncDrawing) return Step();
    if (finished_) return false;
    if (Hwnd() && !stepPosted_.exchange(true)) PostMessageA(Hwnd(), kStepMessage, 0, 0);
    return true;
}

// ---- Messages ----

void TCreditsPanel::Click() {
    if (OnClick) OnClick();
}

LRESULT TCreditsPanel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        std::lock_guard surface(surfaceLock_);
        Paint(paint.get());
        return 0;
    }
    case WM_SIZE:
        if (active_) {
            std::lock_guard frame(frameLock_);
            Layout();
        }
        return 0;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        SetCapture(Hwnd());
        return 0;
    case WM_LBUTTONUP: {
        if (!pressed_) return 0;
        pressed_ = false;
        ReleaseCapture();
        RECT client{};
        GetClientRect(Hwnd(), &client);
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&client, at)) Click();
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Hwnd(), nullptr, FALSE);
        break;
    case WM_CAPTURECHANGED:
        pressed_ = false;
        return 0;
    case WM_KEYDOWN:
        if (wParam != VK_SPACE) break;
        Click(); // the keyboard's click, once the panel has the focus
        return 0;
    case kStepMessage:
        stepPosted_ = false;
        if (active_ && !Step()) finished_ = true;
        return 0;
    case kDeactivateMessage:
        if (active_ && wParam == activation_) SetActive(false);
        return 0;
    case WM_DESTROY:
        if (active_) Deactivate();
        break;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
