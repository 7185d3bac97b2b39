#include "platform/win32/dialog_controls.h"

#include <commctrl.h>

#include "platform/dialog_resources.h"
#include "platform/property_dialogs.h"

namespace imvela::platform {

namespace {
constexpr LANGID kJapanese = 1041;
constexpr int kPageLeft = 30, kPageTop = 25;
}  // namespace

bool property_dialogs_available() { return true; }

HMODULE dialog_module() { return GetModuleHandleA("ImvelaSdk_M52_ZKR.dll"); }

bool japanese_resources() { return GetSystemDefaultLangID() == kJapanese; }

void load_dialog_format(int id, wchar_t (&text)[kDialogTextCapacity]) {
    text[0] = L'\0';
    LoadStringW(dialog_module(), static_cast<UINT>(id + (japanese_resources() ? IDS_JAPANESE : 0)), text,
                kDialogTextCapacity);
}

void load_dialog_text(int id, wchar_t (&text)[kDialogTextCapacity], int number) {
    wchar_t format[kDialogTextCapacity];
    load_dialog_format(id, format);
    wsprintfW(text, format, number);
}

void TabBrush::paint(const DRAWITEMSTRUCT* item) const {
    wchar_t label[128] = L"";
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = label;
    tab.cchTextMax = 128;
    SendMessageW(item->hwndItem, TCM_GETITEMW, item->itemID, reinterpret_cast<LPARAM>(&tab));
    RECT area = item->rcItem;
    FillRect(item->hDC, &area, brush_);
    SetBkColor(item->hDC, GetSysColor(COLOR_BTNFACE));
    DrawTextW(item->hDC, label, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void insert_tab(HWND dialog, int index, const wchar_t* label) {
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<wchar_t*>(label);
    SendDlgItemMessageW(dialog, IDC_TAB, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&tab));
}

HWND create_page(HWND dialog, int template_id, DLGPROC procedure, void* page, bool shown) {
    HWND tab = GetDlgItem(dialog, IDC_TAB);
    // The pages are the tab's children: Tab, Shift+Tab and the mnemonics go into them only
    // when the tab is a control parent (duplicate mnemonics then step from one to the next).
    SetWindowLongPtrW(tab, GWL_EXSTYLE, GetWindowLongPtrW(tab, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    HWND window = CreateDialogParamW(dialog_module(), MAKEINTRESOURCEW(template_id), tab, procedure,
                                     reinterpret_cast<LPARAM>(page));
    if (!window) return nullptr;
    SetWindowPos(window, HWND_TOP, kPageLeft, kPageTop, 0, 0, SWP_NOSIZE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    return window;
}

bool read_signed(HWND dialog, int edit, int32_t* value) {
    BOOL ok = FALSE;
    const int v = static_cast<int>(GetDlgItemInt(dialog, edit, &ok, TRUE));
    if (ok) *value = v;
    return ok != FALSE;
}

void SliderPage::set_up_rows() {
    for (const SliderRow& row : rows_) {
        HWND slider = GetDlgItem(window_, row.slider), spin = GetDlgItem(window_, row.spin);
        HWND edit = GetDlgItem(window_, row.edit);
        const int32_t v = value(row);
        SendMessageW(slider, TBM_SETRANGEMIN, FALSE, row.min);
        SendMessageW(slider, TBM_SETRANGEMAX, FALSE, row.max);
        SendMessageW(slider, TBM_SETPOS, TRUE, v);
        SendMessageW(slider, TBM_SETTICFREQ, row.tick > 0 ? row.tick : 1, 0);
        // Set once: with right alignment every UDM_SETBUDDY narrows the edit by the spin's width.
        if (reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)) != edit)
            SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
        SendMessageW(spin, UDM_SETRANGE32, row.min, row.max);
        SendMessageW(spin, UDM_SETPOS32, 0, v);
        SetDlgItemInt(window_, row.edit, static_cast<UINT>(v), TRUE);
        for (HWND control : {slider, edit, spin}) EnableWindow(control, row.enabled);
    }
}

void SliderPage::show(const SliderRow& row, int32_t v) {
    SendDlgItemMessageW(window_, row.slider, TBM_SETPOS, TRUE, v);
    SetDlgItemInt(window_, row.edit, static_cast<UINT>(v), TRUE);
}

void SliderPage::refresh() {
    if (!window_) return;
    const bool was_ready = ready_;
    ready_ = false;
    fill();
    ready_ = was_ready;
}

void SliderPage::edit_changed(int edit) {
    for (const SliderRow& row : rows_) {
        int32_t v = 0;
        if (row.edit != edit || !read_signed(window_, edit, &v)) continue;
        store(row, v);
        SendDlgItemMessageW(window_, row.slider, TBM_SETPOS, TRUE, v);
    }
}

INT_PTR CALLBACK SliderPage::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* page = reinterpret_cast<SliderPage*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        page = reinterpret_cast<SliderPage*>(lparam);
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        page->window_ = window;
        page->ready_ = false;
        page->fill();
        page->ready_ = true;
        return TRUE;
    case WM_HSCROLL:
        if (!page || !lparam) return FALSE;
        for (const SliderRow& row : page->rows_)
            if (GetDlgItem(window, row.slider) == reinterpret_cast<HWND>(lparam))
                SetDlgItemInt(window, row.edit,
                              static_cast<UINT>(SendMessageW(reinterpret_cast<HWND>(lparam), TBM_GETPOS, 0, 0)), TRUE);
        return TRUE;
    case WM_COMMAND:
        if (!page) return FALSE;
        if (HIWORD(wparam) == EN_CHANGE) {
            if (page->ready_) page->edit_changed(LOWORD(wparam));
            return TRUE;
        }
        return HIWORD(wparam) == BN_CLICKED && page->clicked(LOWORD(wparam));
    case WM_DESTROY:
        if (page) page->window_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace imvela::platform

namespace imvela::platform {

namespace {
// The end of a container whose pages could not be made.
constexpr INT_PTR kPagesFailed = 3;
}  // namespace

int32_t TabbedDialog::run(HWND parent, int template_id) {
    const INT_PTR end = DialogBoxParamW(dialog_module(), MAKEINTRESOURCEW(template_id), parent, procedure,
                                        reinterpret_cast<LPARAM>(this));
    return end == kDialogOk || end == kDialogCancel ? static_cast<int32_t>(end) : kDialogNotCreated;
}

INT_PTR CALLBACK TabbedDialog::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        reinterpret_cast<TabbedDialog*>(lparam)->window_ = window;
    }
    auto* dialog = reinterpret_cast<TabbedDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return dialog ? dialog->handle(message, wparam, lparam) : FALSE;
}

INT_PTR TabbedDialog::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        if (!create_pages()) {
            EndDialog(window_, kPagesFailed);
            return TRUE;
        }
        target_.dialog_opened(window_);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wparam) != BN_CLICKED) return FALSE;
        if (LOWORD(wparam) == IDOK) {
            confirm();
            EndDialog(window_, kDialogOk);
        } else if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(window_, kDialogCancel);
        } else if (LOWORD(wparam) == IDC_DEFAULT) {
            restore_defaults();
            refresh_pages();
        }
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom != IDC_TAB || header->code != TCN_SELCHANGE) return FALSE;
        const auto shown = static_cast<size_t>(SendDlgItemMessageW(window_, IDC_TAB, TCM_GETCURSEL, 0, 0));
        for (size_t i = 0; i < pages_.size(); ++i) ShowWindow(pages_[i]->window(), i == shown ? SW_SHOW : SW_HIDE);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (wparam != IDC_TAB) return FALSE;
        brush_.paint(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case kRefreshDialogMessage:
        target_.refresh_taken();
        refresh_pages();
        return TRUE;
    case WM_DESTROY:
        target_.dialog_closing();
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace imvela::platform
