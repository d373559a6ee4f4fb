#pragma once
// The log viewer's text: a read-only view that draws only the lines and the part of them in view,
// so a log of any size costs the same to show and to scroll. Whole lines are selected with the
// mouse or the keyboard and copied as text.
#include <windows.h>

#include <cstdint>

#include "logbook/logsnapshot.h"
#include "ui/lineview.h"
#include "win32/window.h"

namespace kivo {

class TLogView : public Window {
public:
    static constexpr const char* ClassName = "TLogView";
    static constexpr UINT_PTR DragTimerId = 1;
    static constexpr UINT DragRepeatMs = 50;

    // A child of parent with the given control id; Enter sends BN_CLICKED of defaultButton to it.
    void Create(HWND parent, int id, int defaultButton);
    // The font must stay while the view uses it; it is measured once (fixed pitch).
    void SetFont(HFONT font);
    // A new text, in view at its newest line, nothing selected.
    void SetLines(LogLines lines);

    const LogLines& Lines() const { return lines_; }
    const LineView& Place() const { return view_; }
    int LineHeight() const { return lineHeight_; }
    int CharWidth() const { return charWidth_; }
    // The selected lines to the clipboard as text, CR LF between them.
    void Copy();
    void SelectAll();
    // How often the view painted, for tests and measurements.
    int Paints() const { return paints_; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Measure();
    void Fit();
    void Changed();
    void UpdateScrollBars();
    void Paint(HDC dc, const RECT& dirty);
    void ScrollBar(int bar, WORD code);
    void KeyDown(WPARAM key);
    void Wheel(int& rest, int delta, bool sideways);
    std::int64_t RowAt(int y) const;

    LogLines lines_;
    LineView view_;
    HFONT font_ = nullptr;
    int defaultButton_ = IDOK;
    int charWidth_ = 8, lineHeight_ = 16, margin_ = 2;
    bool dragging_ = false;
    std::int64_t dragRow_ = 0;
    int wheelRest_ = 0, sidewaysRest_ = 0; // wheel turns not yet a whole step
    int paints_ = 0;
};

} // namespace kivo
