#include "ui/taakoverzicht.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/clock.h"
#include "scheduler/missed.h"
#include "win32/fonts.h"

namespace kivo {

namespace {

constexpr const char* Caption = "Taakoverzicht";
constexpr const char* ColumnTitles[OverviewColumns] = {"Taak", "Volgende keer", "Laatste keer",
                                                       "Resultaat", "Duur"};
// Sizes in design units (pixels at 96 DPI).
constexpr int ColumnWidths[OverviewColumns] = {180, 110, 110, 90, 70};
constexpr int FormWidth = 600, FormHeight = 340;
constexpr UINT RefreshMessage = WM_APP + 1;

} // namespace

TTaakoverzichtForm* TTaakoverzichtForm::Open(const Sources& sources) {
    auto* form = new TTaakoverzichtForm(sources);
    const int width = form->Scale(FormWidth), height = form->Scale(FormHeight);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    WindowClassInfo info;
    info.name = ClassName;
    info.iconResource = "MAINICON";
    HWND window = nullptr;
    try {
        window = form->CreateWindowOf(info, 0, Caption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                      work.left + (work.right - work.left - width) / 2,
                                      work.top + (work.bottom - work.top - height) / 2, width,
                                      height, nullptr);
        form->CreateControls();
        form->Refresh();
    } catch (...) {
        delete form; // its window with it
        (void)window;
        throw;
    }
    form->freesItself_ = true;
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(form->list_);
    return form;
}

void TTaakoverzichtForm::OnFinalMessage() {
    if (!freesItself_) return;
    if (OnClosed) OnClosed();
    delete this;
}

void TTaakoverzichtForm::CreateControls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    list_ = CreateChild(
        {.className = WC_LISTVIEWA,
         .style = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
         .exStyle = WS_EX_CLIENTEDGE,
         .id = ListId});
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int c = 0; c < OverviewColumns; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(ColumnTitles[c]);
        column.iSubItem = c;
        SendMessageA(list_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    ApplyDpi();
    Layout();
    ShowSortMark();
}

void TTaakoverzichtForm::ApplyDpi() {
    font_ = DialogFont(Dpi());
    SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    for (int c = 0; c < OverviewColumns; ++c)
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, c, Scale(ColumnWidths[c]));
}

// The base has put the window at its new size already.
void TTaakoverzichtForm::OnDpiChanged() {
    ApplyDpi();
    Layout();
}

// Some list views keep the colours they read when they were made (Wine's does).
void TTaakoverzichtForm::OnColorsChanged() {
    ListView_SetBkColor(list_, GetSysColor(COLOR_WINDOW));
    ListView_SetTextBkColor(list_, GetSysColor(COLOR_WINDOW));
    ListView_SetTextColor(list_, GetSysColor(COLOR_WINDOWTEXT));
}

void TTaakoverzichtForm::Layout() {
    RECT client;
    GetClientRect(Hwnd(), &client);
    if (list_) MoveWindow(list_, 0, 0, client.right, client.bottom, TRUE);
}

void TTaakoverzichtForm::RefreshLater() {
    if (refreshPosted_ || !Hwnd()) return;
    refreshPosted_ = true;
    PostMessageA(Hwnd(), RefreshMessage, 0, 0);
}

void TTaakoverzichtForm::Refresh() {
    refreshPosted_ = false;
    const LocalDateTime now = sources_.clock.Now();
    rows_ = BuildOverviewRows(sources_.table, sources_.scheduler, sources_.history, sources_.runs,
                              WallOf(now), sources_.settings);
    Reorder();
}

void TTaakoverzichtForm::SortBy(int column) {
    if (column < 0 || column >= OverviewColumns) return;
    descending_ = column == sortColumn_ && !descending_;
    sortColumn_ = column;
    ShowSortMark();
    Reorder();
}

std::vector<TaskId> TTaakoverzichtForm::SelectedIds() const {
    std::vector<TaskId> ids;
    for (int i = -1;
         (i = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;) {
        if (i >= static_cast<int>(order_.size())) break;
        ids.push_back(RowAt(i).id);
    }
    return ids;
}

void TTaakoverzichtForm::Reorder() {
    // The selection and focus belong to tasks, not to places: find their new rows.
    const std::vector<TaskId> selected = SelectedIds();
    const int focusedPlace =
        static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    const bool hadFocus = focusedPlace >= 0 && focusedPlace < static_cast<int>(order_.size());
    const TaskId focused = hadFocus ? RowAt(focusedPlace).id : 0;

    order_ = OverviewOrder(rows_, sortColumn_, descending_);
    SendMessageA(list_, LVM_SETITEMCOUNT, order_.size(), LVSICF_NOSCROLL);
    LVITEMA clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&clear));
    if (!selected.empty() || hadFocus) {
        const std::unordered_set<TaskId> wanted(selected.begin(), selected.end());
        for (int place = 0; place < static_cast<int>(order_.size()); ++place) {
            const TaskId id = RowAt(place).id;
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            item.state = (wanted.count(id) ? LVIS_SELECTED : 0) |
                         (hadFocus && id == focused ? LVIS_FOCUSED : 0);
            if (item.state)
                SendMessageA(list_, LVM_SETITEMSTATE, place, reinterpret_cast<LPARAM>(&item));
        }
    }
    InvalidateRect(list_, nullptr, FALSE);
}

void TTaakoverzichtForm::ShowSortMark() {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    for (int c = 0; c < OverviewColumns; ++c) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, c, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == sortColumn_) item.fmt |= descending_ ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(header, HDM_SETITEMA, c, reinterpret_cast<LPARAM>(&item));
    }
}

std::string TTaakoverzichtForm::SelectedText() const {
    std::vector<int> places;
    for (int i = -1;
         (i = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0 &&
         i < static_cast<int>(order_.size());)
        places.push_back(order_[i]);
    return OverviewText(rows_, places);
}

void TTaakoverzichtForm::EditSelected() {
    const int place = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    if (place < 0 || place >= static_cast<int>(order_.size())) return;
    if (OnEdit) OnEdit(RowAt(place).id);
}

void TTaakoverzichtForm::CopySelection() {
    const std::string text = SelectedText();
    if (text.empty() || !OpenClipboard(Hwnd())) return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            if (SetClipboardData(CF_TEXT, memory)) memory = nullptr; // the clipboard's now
        }
        if (memory) GlobalFree(memory);
    }
    CloseClipboard();
}

LRESULT TTaakoverzichtForm::Notify(const NMHDR& header) {
    if (header.hwndFrom != list_) return 0;
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const bool known = item.iItem >= 0 && item.iItem < static_cast<int>(order_.size()) &&
                               item.iSubItem >= 0 && item.iSubItem < OverviewColumns;
            lstrcpynA(item.pszText, known ? RowAt(item.iItem).cells[item.iSubItem].c_str() : "",
                      item.cchTextMax);
        }
        return 0;
    }
    case LVN_COLUMNCLICK:
        SortBy(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return 0;
    case NM_DBLCLK:
    case NM_RETURN:
        EditSelected();
        return 0;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
        if (key == VK_ESCAPE) PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
        if (key == 'C' && (GetKeyState(VK_CONTROL) & 0x8000)) CopySelection();
        return 0;
    }
    }
    return 0;
}

LRESULT TTaakoverzichtForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(lParam));
    case RefreshMessage:
        Refresh();
        return 0;
    case WM_CLOSE:
        DestroyHwnd(); // closing frees the window and its rows
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
