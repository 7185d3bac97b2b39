#pragma once
// What the three property dialogs share: their resources and language, the owner-drawn tab,
// and pages of slider rows (a trackbar, its edit and its up-down control showing one value).
#include <windows.h>

#include <cstdint>
#include <vector>

namespace imvela::platform {

// The module the dialog resources are loaded from: the library found by its file name.
HMODULE dialog_module();
// Japanese resources when the system's default language is Japanese.
bool japanese_resources();
inline int dialog_template(int english, int japanese) { return japanese_resources() ? japanese : english; }
// A string of the string table in the dialogs' language; `number` fills a "%d". The table's
// strings are far shorter than the buffer.
constexpr int kDialogTextCapacity = 512;
void load_dialog_text(int id, wchar_t (&text)[kDialogTextCapacity], int number = 0);
// The string as the table holds it, for a caller that fills several numbers in.
void load_dialog_format(int id, wchar_t (&text)[kDialogTextCapacity]);

// The tab background: a solid brush of the system's button-face colour.
class TabBrush {
public:
    TabBrush() : brush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}
    ~TabBrush() {
        if (brush_) DeleteObject(brush_);
    }
    TabBrush(const TabBrush&) = delete;
    TabBrush& operator=(const TabBrush&) = delete;
    // WM_DRAWITEM of the owner-drawn tab: the label centred on the button face.
    void paint(const DRAWITEMSTRUCT* item) const;

private:
    HBRUSH brush_;
};

void insert_tab(HWND dialog, int index, const wchar_t* label);
// A page made from its template as a child of the dialog's tab control, placed inside it at
// (30, 25) at its own size. Null when it cannot be made.
HWND create_page(HWND dialog, int template_id, DLGPROC procedure, void* page, bool shown);

// Reads an edit as a signed decimal; false while it holds no number.
bool read_signed(HWND dialog, int edit, int32_t* value);

struct SliderRow {
    int slider, edit, spin;
    int32_t position;  // of the value in its block
    int32_t min, max, tick;
    bool enabled;
};

// A child dialog of slider rows. Moving a slider writes its edit; a changed edit stores its
// value (while the page is ready) and moves its slider.
class SliderPage {
public:
    virtual ~SliderPage() = default;
    HWND window() const { return window_; }
    // Shows every value again without storing anything.
    void refresh();
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

protected:
    // Sets the rows up (from rows_) and the page's other controls.
    virtual void fill() = 0;
    virtual int32_t value(const SliderRow& row) const = 0;
    virtual void store(const SliderRow& row, int32_t value) = 0;
    // Buttons and check boxes; true when handled.
    virtual bool clicked(int) { return false; }
    void set_up_rows();
    void show(const SliderRow& row, int32_t value);
    bool checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
    void check(int id, bool on) { CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED); }

    HWND window_ = nullptr;
    bool ready_ = false;
    std::vector<SliderRow> rows_;

private:
    void edit_changed(int edit);
};

}  // namespace imvela::platform

namespace imvela::platform {

class RefreshTarget;

// A modal container of pages on an owner-drawn tab, with OK, Cancel and Default. It tells the
// host when it opens and closes, and shows the values again when a refresh is posted to it.
class TabbedDialog {
public:
    explicit TabbedDialog(RefreshTarget& target) : target_(target) {}
    virtual ~TabbedDialog() = default;
    // The run's end: kDialogOk, kDialogCancel or kDialogNotCreated.
    int32_t run(HWND parent, int template_id);

protected:
    // Inserts the tabs and makes the pages (the first shown); false when a page failed.
    virtual bool create_pages() = 0;
    // OK: the pages' edits are read once more before the dialog ends.
    virtual void confirm() = 0;
    virtual void restore_defaults() = 0;
    void refresh_pages() {
        for (SliderPage* page : pages_) page->refresh();
    }

    HWND window_ = nullptr;
    std::vector<SliderPage*> pages_;

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);

    RefreshTarget& target_;
    TabBrush brush_;
};

}  // namespace imvela::platform
