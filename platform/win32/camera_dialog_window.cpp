// The camera dialog: the video format and the size table, edited in the settings store.
#include <windows.h>

#include <commctrl.h>

#include "platform/dialog_resources.h"
#include "platform/property_dialogs.h"
#include "platform/win32/dialog_controls.h"

namespace imvela::platform {
namespace {

constexpr int kColorLines = 6, kClockLines = 3;
constexpr int kWordModeBits = 12;  // filled into the 16-bit monochrome line
constexpr int kHighClockMHz = 80;
constexpr int kSizeEdits[6] = {IDC_TOTAL_H, IDC_TOTAL_V, IDC_EFFECTIVE_H, IDC_EFFECTIVE_V, IDC_START_H, IDC_START_V};

class CameraDialogWindow {
public:
    explicit CameraDialogWindow(CameraDialogHost& host) : host_(host) {}
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

private:
    void initialize(HWND window);
    void command(int id, int code);
    void add_line(int list, int id, int number) {
        wchar_t text[kDialogTextCapacity];
        load_dialog_text(id, text, number);
        SendDlgItemMessageW(window_, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    void insert_size_line(int index, const SizeFields& entry) {
        wchar_t text[64];
        wsprintfW(text, L"%d x %d", entry.effective_h, entry.effective_v);
        SendDlgItemMessageW(window_, IDC_SIZE_LIST, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
    }
    void show_entry(const SizeFields& entry) {
        const int32_t values[6] = {entry.total_h,     entry.total_v,  entry.effective_h,
                                   entry.effective_v, entry.start_h, entry.start_v};
        for (int i = 0; i < 6; ++i) SetDlgItemInt(window_, kSizeEdits[i], static_cast<UINT>(values[i]), FALSE);
    }
    int32_t selection(int list) const {
        return static_cast<int32_t>(SendDlgItemMessageW(window_, list, CB_GETCURSEL, 0, 0));
    }
    int32_t number(int edit) const { return static_cast<int32_t>(GetDlgItemInt(window_, edit, nullptr, FALSE)); }
    bool apply();

    CameraDialogHost& host_;
    TabBrush brush_;
    HWND window_ = nullptr;
};

void CameraDialogWindow::initialize(HWND window) {
    window_ = window;
    host_.load();
    const FormatChoice format = host_.format();
    wchar_t text[kDialogTextCapacity];
    load_dialog_text(IDS_STREAM_FORMAT, text);
    insert_tab(window_, 0, text);

    for (int i = 0; i < kColorLines; ++i) add_line(IDC_COLOR, IDS_COLOR_0 + i, kWordModeBits);
    SendDlgItemMessageW(window_, IDC_COLOR, CB_SETCURSEL, format.color, 0);
    // Full resolution is the one sub-sampling mode: every stored value shows it.
    SendDlgItemMessageW(window_, IDC_SUB_SAMPLE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"1/1"));
    SendDlgItemMessageW(window_, IDC_SUB_SAMPLE, CB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(window_, IDC_SUB_SAMPLE), FALSE);
    for (int i = 0; i < kClockLines; ++i) add_line(IDC_CLOCK, IDS_CLOCK_0 + i, kHighClockMHz);
    SendDlgItemMessageW(window_, IDC_CLOCK, CB_SETCURSEL, format.clock, 0);
    EnableWindow(GetDlgItem(window_, IDC_CLOCK), FALSE);

    const int32_t count = host_.size_count();
    for (int32_t i = 0; i < count; ++i) insert_size_line(i, host_.size_entry(i));
    add_line(IDC_SIZE_LIST, IDS_CUSTOM, 0);
    SendDlgItemMessageW(window_, IDC_SIZE_LIST, CB_SETCURSEL, format.size, 0);
    show_entry(host_.size_entry(format.size));
    SetDlgItemInt(window_, IDC_WAIT_TIME, static_cast<UINT>(format.wait_time), FALSE);
    EnableWindow(GetDlgItem(window_, IDC_APPLY), FALSE);
}

bool CameraDialogWindow::apply() {
    const int32_t count = host_.size_count();
    FormatChoice choice;
    choice.color = selection(IDC_COLOR);
    choice.size = selection(IDC_SIZE_LIST);
    if (choice.size < 0 || choice.size > count) choice.size = count;
    choice.sub_sample = selection(IDC_SUB_SAMPLE);
    choice.clock = selection(IDC_CLOCK);
    choice.wait_time = number(IDC_WAIT_TIME);
    const SizeFields typed{number(IDC_TOTAL_H),     number(IDC_TOTAL_V), number(IDC_EFFECTIVE_H),
                           number(IDC_EFFECTIVE_V), number(IDC_START_H), number(IDC_START_V)};
    const int32_t entry = host_.store(choice, typed);
    if (entry < 0) {
        wchar_t text[kDialogTextCapacity], title[kDialogTextCapacity];
        if (entry == CameraDialogHost::kWindowOutside) {
            // The limits, and what was typed against them.
            int32_t columns = 0, rows = 0;
            host_.sensor_size(&columns, &rows);
            wchar_t format[kDialogTextCapacity];
            load_dialog_format(IDS_WINDOW_OUTSIDE, format);
            wsprintfW(text, format, columns, rows, columns, rows, typed.start_h, typed.effective_h,
                      typed.start_h + typed.effective_h, typed.start_v, typed.effective_v, typed.start_v + typed.effective_v);
        } else {
            load_dialog_text(IDS_TABLE_FULL, text);
        }
        load_dialog_text(IDS_TABLE_FULL_TITLE, title);
        MessageBoxW(window_, text, title, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (entry < count) SendDlgItemMessageW(window_, IDC_SIZE_LIST, CB_DELETESTRING, entry, 0);
    insert_size_line(entry, typed);
    SendDlgItemMessageW(window_, IDC_SIZE_LIST, CB_SETCURSEL, entry, 0);
    EnableWindow(GetDlgItem(window_, IDC_APPLY), FALSE);
    return true;
}

void CameraDialogWindow::command(int id, int code) {
    if (id == IDOK && code == BN_CLICKED) {
        if (apply()) EndDialog(window_, kDialogOk);
    } else if (id == IDCANCEL && code == BN_CLICKED) {
        EndDialog(window_, kDialogCancel);
    } else if (id == IDC_APPLY && code == BN_CLICKED) {
        apply();
    } else if (code == CBN_SELCHANGE) {
        EnableWindow(GetDlgItem(window_, IDC_APPLY), TRUE);
        const int32_t line = selection(IDC_SIZE_LIST);
        // "Custom" keeps the edits for the user to type a new size.
        if (id == IDC_SIZE_LIST && line >= 0 && line < host_.size_count()) show_entry(host_.size_entry(line));
    } else if (code == EN_CHANGE) {
        EnableWindow(GetDlgItem(window_, IDC_APPLY), TRUE);
    }
}

INT_PTR CALLBACK CameraDialogWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* dialog = reinterpret_cast<CameraDialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        reinterpret_cast<CameraDialogWindow*>(lparam)->initialize(window);
        return TRUE;
    case WM_COMMAND:
        if (dialog) dialog->command(LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_DRAWITEM:
        if (!dialog || wparam != IDC_TAB) return FALSE;
        dialog->brush_.paint(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int32_t run_camera_dialog(HWND parent, CameraDialogHost& host) {
    CameraDialogWindow dialog(host);
    const INT_PTR end = DialogBoxParamW(dialog_module(), MAKEINTRESOURCEW(dialog_template(IDD_CAMERA_EN, IDD_CAMERA_JA)),
                                        parent, CameraDialogWindow::procedure, reinterpret_cast<LPARAM>(&dialog));
    return end == kDialogOk || end == kDialogCancel ? static_cast<int32_t>(end) : kDialogNotCreated;
}

}  // namespace imvela::platform
