#include "ui/instelpanel.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "algemeen/datetime.h"
#include "algemeen/text.h"
#include "store/memtable.h"
#include "ui/tijdinst.h"

namespace kivo {

namespace {

using P = TInstelPanel;

// The layout in design units.
constexpr Box PanelBox{3, 154, 265, 207};

constexpr DWORD TypingField = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD ReadOnlyField = TypingField | ES_READONLY;
constexpr DWORD PushButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD CheckBox = WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX;
constexpr DWORD DateField = WS_VISIBLE | WS_TABSTOP | DTS_SHORTDATEFORMAT;
// Made in this order, which is the tab order. One without a class is one of ours: the spin
// arrows and the two shaped buttons.
constexpr ChildControl Controls[] = {
    {"EDIT", "", TypingField, WS_EX_CLIENTEDGE, P::IdEditOmschrijving, {96, 5, 161, 21}},
    {"EDIT", "", ReadOnlyField, WS_EX_CLIENTEDGE, P::IdEditprogramma, {96, 28, 97, 21}},
    {"BUTTON", "Bladeren", PushButton, 0, P::IdBladerButton, {200, 28, 57, 21}},
    {"EDIT", "", ReadOnlyField, WS_EX_CLIENTEDGE, P::IdEditwerkdir, {96, 52, 161, 21}},
    {"EDIT", "", ReadOnlyField, WS_EX_CLIENTEDGE, P::IdEditStarttijd, {96, 98, 65, 21}},
    {"BUTTON", "Instellen", PushButton, 0, P::IdInstelButton, {182, 98, 75, 21}},
    {"EDIT", "", ReadOnlyField, WS_EX_CLIENTEDGE, P::IdEditFrekwentie, {96, 122, 33, 21}},
    {nullptr, "", 0, 0, P::IdSBFrekwentie, {129, 123, 17, 21}},
    {"BUTTON", "Dagen", CheckBox, 0, P::IdCBdagen, {152, 124, 55, 17}},
    {"BUTTON", "Uren", CheckBox, 0, P::IdCBuren, {208, 124, 49, 17}},
    {DATETIMEPICK_CLASSA, "", DateField, 0, P::IdEditlaatstekeer, {96, 145, 97, 21}},
    {"EDIT", "", TypingField, WS_EX_CLIENTEDGE, P::IdEditparameters, {96, 75, 161, 21}},
    {nullptr, "OK", 0, 0, P::IdOKbutton, {26, 174, 92, 28}},
    {nullptr, "Annuleren", 0, 0, P::IdAnnuleerButton, {146, 174, 92, 28}},
};

// A row's label is drawn from the top left of its box, which ends before the row's field.
constexpr Box LabelBox(int rowTop) {
    return {5, rowTop + 3, 89, 0};
}
struct Label {
    const char* text;
    Box box;
};
constexpr Label Labels[] = {{"Omschrijving", LabelBox(5)},   {"Opstartbestand", LabelBox(28)},
                            {"Werkdirectory", LabelBox(52)}, {"Parameters", LabelBox(75)},
                            {"Starttijd", LabelBox(98)},     {"Frekwentie", LabelBox(122)},
                            {"Laatste keer", LabelBox(145)}};

// The controls a managed task locks.
constexpr int Lockable[] = {P::IdEditOmschrijving, P::IdBladerButton,   P::IdEditprogramma,
                            P::IdEditwerkdir,      P::IdEditparameters, P::IdEditStarttijd,
                            P::IdInstelButton,     P::IdEditFrekwentie, P::IdSBFrekwentie,
                            P::IdCBdagen,          P::IdCBuren};

std::string UserShortDateFormat() {
    char buffer[80] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buffer, sizeof buffer);
    return buffer;
}

SYSTEMTIME SystemDate(const CivilDate& d) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.year);
    st.wMonth = static_cast<WORD>(d.month);
    st.wDay = static_cast<WORD>(d.day);
    return st;
}

} // namespace

std::string PickerDateFormat(const std::string& userShortDate) {
    const bool fourDigits = UpperAZ(userShortDate).find("YYYY") != std::string::npos;
    return fourDigits ? "dd'-'MM'-'yyyy" : "dd'-'MM'-'yy";
}

TInstelPanel::TInstelPanel(TMemTable& table, const FormatSettings& settings)
    : table_(table), display_(settings) {
    display_.longTimeFormat = "hh:nn";
}

TInstelPanel::~TInstelPanel() = default;

void TInstelPanel::Create(HWND parent) {
    SetBackgroundColor(palette::PanelFace);
    WindowClassInfo info;
    info.name = ClassName;
    CreateWindowOf(info, WS_EX_CONTROLPARENT, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent);
    CreateControls();
    OnDpiChanged();
}

void TInstelPanel::CreateControls() {
    for (const ChildControl& control : Controls) {
        switch (control.id) {
        case IdSBFrekwentie:
            SBFrekwentie.Create(Hwnd(), control.id);
            break;
        case IdOKbutton:
            OKbutton.Create(Hwnd(), control.id, control.text, Glyph::Ok);
            break;
        case IdAnnuleerButton:
            AnnuleerButton.Create(Hwnd(), control.id, control.text, Glyph::Annuleren);
            break;
        default:
            CreateChild(control);
        }
    }
    SendMessageA(Control(IdEditOmschrijving), EM_LIMITTEXT, FieldLimit(Field::Omschrijving), 0);
    SendMessageA(Control(IdEditparameters), EM_LIMITTEXT, FieldLimit(Field::Parameters), 0);
    HWND date = Control(IdEditlaatstekeer);
    OnColorsChanged();
    // Changed through its calendar only: typing and the keys that step its parts are swallowed;
    // Tab and F4 (open the calendar) pass, as does Alt+Down.
    dateHook_.Attach(date, [this](UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_CHAR) return 0;
        if (m == WM_KEYDOWN && w != VK_TAB && w != VK_F4) return 0;
        return dateHook_.Default(m, w, l);
    });
}

void TInstelPanel::OnColorsChanged() {
    const COLORREF calendar = Resolve(palette::CalendarFace);
    for (int part : {MCSC_BACKGROUND, MCSC_MONTHBK})
        SendMessageA(Control(IdEditlaatstekeer), DTM_SETMCCOLOR, part, calendar);
}

void TInstelPanel::OnDpiChanged() {
    font_ = MakeFont("MS Sans Serif", 11, Dpi());
    // The labels must end before their fields; where the font is wider, it is made smaller.
    for (int height = 11; height >= 8; --height) {
        labelFont_ = MakeFont("MS Sans Serif", height, Dpi(), true);
        WindowDC dc(Hwnd());
        SelectedObject f(dc.get(), labelFont_.get());
        bool fits = true;
        for (const Label& label : Labels) {
            SIZE size{};
            GetTextExtentPoint32A(dc.get(), label.text, static_cast<int>(std::strlen(label.text)),
                                  &size);
            fits = fits && size.cx <= Scale(label.box.width);
        }
        if (fits) break;
    }
    for (const ChildControl& control : Controls)
        SendMessageA(Control(control.id), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    OKbutton.SetFont(font_.get());
    AnnuleerButton.SetFont(font_.get());
    Layout();
}

void TInstelPanel::Layout() {
    Place(Hwnd(), PanelBox);
    for (const ChildControl& control : Controls) Place(Control(control.id), control.box);
}

void TInstelPanel::Paint(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Resolve(palette::PanelText));
    SelectedObject f(dc, labelFont_.get());
    for (const Label& label : Labels)
        TextOutA(dc, Scale(label.box.left), Scale(label.box.top), label.text,
                 static_cast<int>(std::strlen(label.text)));
}

// ---- Binding ----

void TInstelPanel::ShowTask() {
    for (Field f :
         {Field::Omschrijving, Field::Programma, Field::Werkdirectory, Field::Parameters,
          Field::Starttijd, Field::Frekwentie, Field::Dagen, Field::Uren, Field::Laatstekeer})
        ShowField(f);
}

void TInstelPanel::ShowField(Field field) {
    loading_ = true;
    auto setText = [&](int id, const std::string& text) {
        SetWindowTextA(Control(id), text.c_str());
        SendMessageA(Control(id), EM_SETMODIFY, FALSE, 0);
    };
    switch (field) {
    case Field::Omschrijving:
        setText(IdEditOmschrijving, table_.AsString(field));
        break;
    case Field::Programma:
        setText(IdEditprogramma, table_.AsString(field));
        break;
    case Field::Werkdirectory:
        setText(IdEditwerkdir, table_.AsString(field));
        break;
    case Field::Parameters:
        setText(IdEditparameters, table_.AsString(field));
        break;
    case Field::Starttijd:
        setText(IdEditStarttijd,
                table_.IsNull(field) ? "" : FormatTime(table_.AsDateTime(field), display_));
        break;
    case Field::Frekwentie:
        setText(IdEditFrekwentie, table_.AsString(field));
        break;
    case Field::Dagen:
    case Field::Uren:
        SendMessageA(Control(field == Field::Dagen ? IdCBdagen : IdCBuren), BM_SETCHECK,
                     table_.AsBoolean(field) ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case Field::Laatstekeer: {
        HWND date = Control(IdEditlaatstekeer);
        SYSTEMTIME st{};
        bool shown = false;
        if (!table_.IsNull(field)) {
            st = SystemDate(CivilFromDayNumber(DayNumberOfValue(table_.AsDateTime(field))));
            shown = SendMessageA(date, DTM_SETSYSTEMTIME, GDT_VALID,
                                 reinterpret_cast<LPARAM>(&st)) != 0;
        }
        if (shown) {
            const std::string format = PickerDateFormat(UserShortDateFormat());
            SendMessageA(date, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(format.c_str()));
        } else {
            // Empty: nothing shown, and the calendar opens at today.
            GetLocalTime(&st);
            SendMessageA(date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
            SendMessageA(date, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("' '"));
        }
        break;
    }
    default:
        break;
    }
    loading_ = false;
}

void TInstelPanel::BeginEdit() {
    ShowTask();
    editing_ = true;
}

void TInstelPanel::CommitTyped() {
    if (!editing_ || !Hwnd() || !table_.IsPending()) return;
    for (auto [id, field] : {std::pair{IdEditOmschrijving, Field::Omschrijving},
                             std::pair{IdEditparameters, Field::Parameters}}) {
        HWND edit = Control(id);
        if (!SendMessageA(edit, EM_GETMODIFY, 0, 0)) continue;
        table_.SetString(field, WindowText(edit));
        SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
    }
}

void TInstelPanel::Lock(bool managed) {
    for (int id : Lockable) EnableWindow(Control(id), !managed);
}

HWND TInstelPanel::FirstFocus() const {
    return Control(IsWindowEnabled(Control(IdEditOmschrijving)) ? IdEditOmschrijving
                                                                : IdEditlaatstekeer);
}

void TInstelPanel::FocusFirst() {
    SetFocus(FirstFocus());
}

void TInstelPanel::Hide() {
    editing_ = false;
    for (int id : {IdEditOmschrijving, IdEditparameters})
        SendMessageA(Control(id), EM_SETMODIFY, FALSE, 0);
    SendMessageA(Control(IdEditlaatstekeer), DTM_CLOSEMONTHCAL, 0, 0);
    ShowWindow(Hwnd(), SW_HIDE);
}

void TInstelPanel::BeginChange() {
    if (!table_.IsPending()) table_.EditCurrent();
}

// ---- Handlers ----

void TInstelPanel::BladerButtonClick() {
    // Room for a long path: the fields cut it to their limits afterwards.
    std::vector<char> file(32768, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetAncestor(Hwnd(), GA_ROOT);
    ofn.lpstrFilter = ProgramFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = ProgramFolder;
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
    HWND focus = GetFocus();
    const bool chosen = OpenDialog1 && OpenDialog1(ofn);
    // The keyboard goes back to the control it came from, as after the program's own dialogs.
    if (focus && IsWindow(focus) && IsWindowVisible(focus) && IsWindowEnabled(focus))
        SetFocus(focus);
    if (!chosen) return;
    BeginChange();
    const std::string path = file.data();
    const auto slash = path.find_last_of('\\');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    table_.SetString(Field::Programma, path.substr(directory.size()));
    table_.SetString(Field::Werkdirectory, directory);
    ShowField(Field::Programma);
    ShowField(Field::Werkdirectory);
}

void TInstelPanel::InstelButtonClick() {
    TFTijdinstellen dialog(GetAncestor(Hwnd(), GA_ROOT));
    const TDateTime shown = table_.AsDateTime(Field::Starttijd);
    dialog.Time = shown;
    if (dialog.ShowModal() != TFTijdinstellen::ResultOk) return;
    const int minutes = SafeStrToInt(dialog.MinutenText());
    const int hours = SafeStrToInt(dialog.UrenText());
    // OK without a change leaves the start time exactly as it was, seconds included.
    const TimeOfDay before = TimeOfDayFromValue(shown);
    if (!table_.IsNull(Field::Starttijd) && hours == before.hour && minutes == before.minute)
        return;
    BeginChange();
    table_.SetDateTime(Field::Starttijd, (hours * 60 + minutes) / 1440.0);
    ShowField(Field::Starttijd);
}

void TInstelPanel::StepFrekwentie(int direction) {
    BeginChange();
    int value = table_.AsInteger(Field::Frekwentie);
    if (value == 0) value = 1;
    if (direction > 0 && value < 99) ++value;
    if (direction < 0 && value >= 2) --value;
    table_.SetInteger(Field::Frekwentie, value);
    ShowField(Field::Frekwentie);
}

void TInstelPanel::SBFrekwentieUpClick() {
    StepFrekwentie(1);
}

void TInstelPanel::SBFrekwentieDownClick() {
    StepFrekwentie(-1);
}

// Exactly one of Dagen and Uren stays set after a click in edit mode.
void TInstelPanel::ClickBox(Field clicked, Field other) {
    if (!(EditMode && EditMode()) || !table_.IsPending()) return;
    const bool state = !table_.AsBoolean(clicked);
    table_.SetBoolean(clicked, state);
    if (table_.AsBoolean(other) == state) table_.SetBoolean(other, !state);
    ShowField(Field::Dagen);
    ShowField(Field::Uren);
}

void TInstelPanel::CBdagenClick() {
    ClickBox(Field::Dagen, Field::Uren);
}

void TInstelPanel::CBUrenClick() {
    ClickBox(Field::Uren, Field::Dagen);
}

void TInstelPanel::OKButtonClick() {
    if (OnOk) OnOk();
}

void TInstelPanel::AnnuleerButtonClick() {
    if (OnCancel) OnCancel();
}

void TInstelPanel::EditlaatstekeerChange(const SYSTEMTIME& date) {
    if (loading_ || !(EditMode && EditMode())) return;
    BeginChange();
    table_.SetDateTime(Field::Laatstekeer, DayNumber({date.wYear, date.wMonth, date.wDay}));
    // The picker holds the date already; an empty field now shows it.
    const std::string format = PickerDateFormat(UserShortDateFormat());
    SendMessageA(Control(IdEditlaatstekeer), DTM_SETFORMATA, 0,
                 reinterpret_cast<LPARAM>(format.c_str()));
}

// ---- Messages ----

LRESULT TInstelPanel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_COMMAND: {
        static constexpr CommandRoute<TInstelPanel> Commands[] = {
            {AnyId, EN_KILLFOCUS, &TInstelPanel::CommitTyped},
            {IdSBFrekwentie, TSpinButton::SpinUp, &TInstelPanel::SBFrekwentieUpClick},
            {IdSBFrekwentie, TSpinButton::SpinDown, &TInstelPanel::SBFrekwentieDownClick},
            {IdBladerButton, BN_CLICKED, &TInstelPanel::BladerButtonClick},
            {IdInstelButton, BN_CLICKED, &TInstelPanel::InstelButtonClick},
            {IdCBdagen, BN_CLICKED, &TInstelPanel::CBdagenClick},
            {IdCBuren, BN_CLICKED, &TInstelPanel::CBUrenClick},
            {IdOKbutton, BN_CLICKED, &TInstelPanel::OKButtonClick},
            {IdAnnuleerButton, BN_CLICKED, &TInstelPanel::AnnuleerButtonClick},
        };
        RouteCommand(*this, Commands, wParam);
        return 0;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IdEditlaatstekeer && header->code == DTN_DATETIMECHANGE) {
            auto* change = reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
            if (change->dwFlags == GDT_VALID) EditlaatstekeerChange(change->st);
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        char cls[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(lParam), cls, sizeof cls);
        if (lstrcmpiA(cls, "Edit") == 0 && IsWindowEnabled(reinterpret_cast<HWND>(lParam))) {
            // Read-only fields look like the others.
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            ContrastColors(dc, COLOR_WINDOW, COLOR_WINDOWTEXT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        SetBkColor(dc, Resolve(palette::PanelFace));
        if (IsWindowEnabled(reinterpret_cast<HWND>(lParam)))
            ContrastColors(dc, COLOR_BTNFACE, COLOR_BTNTEXT);
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
