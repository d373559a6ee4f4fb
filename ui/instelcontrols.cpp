// The main window's controls, their layout, the status bar and what the window draws itself.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/instel.h"
#include "ui/instellayout.h"

namespace kivo {

using namespace instel;

namespace {

constexpr const char* MakerName = "KIVO";
constexpr const char* Version = "v2.1";

} // namespace

void TInstelForm::CreateControls() {
    BBinstellen.Create(Hwnd(), IdBBinstellen, "Instellen", Glyph::Instellen);
    BBverwijder.Create(Hwnd(), IdBBverwijder, "Verwijderen", Glyph::Verwijderen);
    BBtoevoegen.Create(Hwnd(), IdBBtoevoegen, "Toevoegen", Glyph::Toevoegen);
    HWND list = CreateChild(
        {.className = "LISTBOX",
         .style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
         .exStyle = WS_EX_CLIENTEDGE,
         .id = IdDBGtaken});
    taskList_.Attach(list);
    taskList_.OnCellClick = [this] { DBGtakenCellClick(); };
    taskList_.OnDblClick = [this] { DBGtakenDblClick(); };
    taskList_.OnKeyDelete = [this] { DBGtakenKeyDelete(); };
    statusBar_.Attach(
        CreateChild({.className = STATUSCLASSNAMEA, .style = WS_VISIBLE, .id = IdStatusBar}));
    InstelPanel.Create(Hwnd());
    InstelPanel.OnOk = [this] { OKButtonClick(); };
    InstelPanel.OnCancel = [this] { AnnuleerButtonClick(); };
    InstelPanel.EditMode = [this] { return editMode_; };
    ApplyFonts();
    Layout();
    SetStatus(0, "Laatste controle");
    SetStatus(1, std::string("\t") + Version);
    SetStatus(2, "");
}

void TInstelForm::ApplyFonts() {
    font_ = DialogFont(Dpi());
    labelFont_ = MakeFont("MS Sans Serif", 13, Dpi(), true);
    headerFont_ = MakeFont("Arial Black", 19, Dpi());
    for (TShapedButton* b : {&BBinstellen, &BBverwijder, &BBtoevoegen}) b->SetFont(font_.get());
    SendMessageA(taskList_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    statusBar_.Fit({Scale(StatusWidths[0]), Scale(StatusWidths[1]), Scale(StatusWidths[2])},
                   font_.get(), Scale(10));
}

void TInstelForm::Layout() {
    Place(BBinstellen.Hwnd(), BBinstellenBox);
    Place(BBverwijder.Hwnd(), BBverwijderBox);
    Place(BBtoevoegen.Hwnd(), BBtoevoegenBox);
    Place(taskList_.Hwnd(), DBGtakenBox);
    SendMessageA(taskList_.Hwnd(), LB_SETHORIZONTALEXTENT, 0, 0);
    RECT client;
    GetClientRect(Hwnd(), &client);
    MoveWindow(statusBar_.Hwnd(), 0, client.bottom - Scale(StatusHeight), client.right,
               Scale(StatusHeight), TRUE);
    SendMessageA(statusBar_.Hwnd(), SB_SETMINHEIGHT, Scale(StatusHeight), 0);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void TInstelForm::SetClientHeight(int height96) {
    clientHeight96_ = height96;
    SetClientSize(Scale(FormWidth), Scale(height96));
}

void TInstelForm::PlaceOnScreen() {
    SetWindowPos(Hwnd(), nullptr, Scale(FormLeft), Scale(FormTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TInstelForm::Paint(HDC dc) {
    RECT panel = Pixels(Panel1Box);
    RECT client;
    GetClientRect(Hwnd(), &client);
    panel.right = client.right;
    FillSolid(dc, panel, Resolve(palette::PanelFace));
    DrawEdge(dc, &panel, BDR_SUNKENINNER, BF_RECT);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Resolve(palette::PanelText));
    {
        SelectedObject f(dc, headerFont_.get());
        RECT label = Pixels(Label8Box);
        DrawTextA(dc, MakerName, -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT bevel = Pixels(Bevel1Box);
    DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
    {
        SelectedObject f(dc, labelFont_.get());
        TextOutA(dc, Scale(Label7Box.left), Scale(Label7Box.top), "Taken", 5);
    }
}

void TInstelForm::MakeTrayPictures() {
    static constexpr MenuPicture TrayPictures[] = {{IdSluiten1, Glyph::Annuleren},
                                                   {IdLogboekbekijken2, Glyph::Logboek},
                                                   {IdInformatie2, Glyph::Informatie}};
    tray_.MakePictures(WinTaskbar.get(), trayMenu_.get(), TrayPictures, Dpi());
}

// The menu's pictures hold the menu's colour.
void TInstelForm::OnColorsChanged() {
    MakeTrayPictures();
}

HWND TInstelForm::Button(int id) const {
    return GetDlgItem(Hwnd(), id);
}

void TInstelForm::SetStatus(int panel, const std::string& text) {
    statusBar_.SetText(panel, text);
}

std::string TInstelForm::StatusText(int panel) const {
    return statusBar_.Text(panel);
}

} // namespace kivo
