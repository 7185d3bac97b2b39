// The property dialogs as a user meets them: each export runs on a thread of its own (the
// application's UI thread); the test thread finds the dialog by its title and works its
// controls with window messages.
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "api/camera_fixture.h"
#include "dialog_resources.h"
#include "support/screen_probe.h"

namespace {

using Lines = std::vector<std::wstring>;
using Dialog = int32_t (*)(int32_t, HWND);
constexpr auto kBound = std::chrono::seconds(10);

struct TitleSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK match_title(HWND w, LPARAM context) {
    auto* search = reinterpret_cast<TitleSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    wchar_t text[128] = L"";
    GetWindowTextW(w, text, 128);
    if (process == GetCurrentProcessId() && IsWindowVisible(w) && lstrcmpW(text, search->title) == 0) search->found = w;
    return search->found ? FALSE : TRUE;
}

HWND wait_for_window(const wchar_t* title) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    for (TitleSearch search{title, nullptr}; std::chrono::steady_clock::now() < end; Sleep(20)) {
        EnumWindows(match_title, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
    }
    return nullptr;
}

std::wstring text(HWND w) {
    wchar_t t[512] = L"";
    GetWindowTextW(w, t, 512);
    return t;
}

// One open dialog. Every control message is sent (the dialog's thread handles it before the
// call returns), except presses that may open a message box.
class OpenDialog {
public:
    OpenDialog(Dialog dialog, int32_t handle, const wchar_t* title) {
        result_ = std::async(std::launch::async, [=] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
            InitCommonControlsEx(&controls);
            return dialog(handle, nullptr);
        });
        window = wait_for_window(title);
    }
    ~OpenDialog() {
        if (result_.valid()) finish(IDCANCEL);
    }
    // The page on the tab that holds this control.
    HWND page(int control) const {
        HWND p = nullptr;
        while ((p = FindWindowExW(GetDlgItem(window, IDC_TAB), p, L"#32770", nullptr)) && !GetDlgItem(p, control)) {
        }
        return p;
    }
    void press(int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void send(int id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    // Presses the button and returns the export's result once it has returned.
    int32_t finish(int id) {
        press(id);
        if (result_.wait_for(kBound) != std::future_status::ready) {
            ADD_FAILURE() << "the dialog did not close";
            std::abort();  // the export's thread cannot be joined
        }
        return result_.get();
    }

    HWND window = nullptr;

private:
    std::future<int32_t> result_;
};

template <class Condition>
bool eventually(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    for (; std::chrono::steady_clock::now() < end; Sleep(10))
        if (condition()) return true;
    return false;
}

HWND item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
LRESULT ask(HWND dialog, int id, UINT message, WPARAM w = 0, LPARAM l = 0) {
    return SendMessageW(item(dialog, id), message, w, l);
}
int32_t number(HWND dialog, int id) { return static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, TRUE)); }
void type(HWND dialog, int id, const wchar_t* t) { ask(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)); }
void click(HWND dialog, int id) { ask(dialog, id, BM_CLICK); }
bool checked(HWND dialog, int id) { return ask(dialog, id, BM_GETCHECK) == BST_CHECKED; }
void choose(HWND dialog, int id, int line) {
    ask(dialog, id, CB_SETCURSEL, line);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item(dialog, id)));
}
void slide(HWND page, int id, int position) {
    ask(page, id, TBM_SETPOS, TRUE, position);
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(item(page, id)));
}
std::pair<LRESULT, LRESULT> range(HWND page, int slider) {
    return {ask(page, slider, TBM_GETRANGEMIN), ask(page, slider, TBM_GETRANGEMAX)};
}
Lines lines(HWND dialog, int list) {
    Lines all;
    for (LRESULT i = 0, n = ask(dialog, list, CB_GETCOUNT); i < n; ++i) {
        wchar_t t[128] = L"";
        ask(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t));
        all.push_back(t);
    }
    return all;
}
std::wstring tab_label(HWND dialog, int index) {
    wchar_t t[64] = L"";
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = t;
    tab.cchTextMax = 64;
    ask(dialog, IDC_TAB, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&tab));
    return t;
}

// Keeps a picture of the dialog as "dialog_<name>.ppm" in the test's folder; it must show
// more than a blank face.
void keep_screenshot(HWND dialog, const char* name) {
    // Taken once painting has settled: two pictures in a row alike.
    WindowShot shot, before;
    std::set<uint32_t> colours;
    const auto end = std::chrono::steady_clock::now() + kBound;
    while ((colours.size() < 3 || shot.pixels != before.pixels) && std::chrono::steady_clock::now() < end) {
        Sleep(100);
        before = shot;
        colours.clear();
        if (take_window_shot(reinterpret_cast<uintptr_t>(dialog), &shot)) colours.insert(shot.pixels.begin(), shot.pixels.end());
    }
    EXPECT_GE(colours.size(), 3u) << name;
    const std::string file = std::string("dialog_") + name + ".ppm";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", shot.width, shot.height);
        for (uint32_t p : shot.pixels) {
            const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                          static_cast<unsigned char>(p)};
            std::fwrite(rgb, 1, 3, f);
        }
        std::fclose(f);
    }
}

class PropertyDialogs : public CameraTest {
protected:
    // The dialogs are windows on the screen, and their pictures are taken.
    void SetUp() override {
        ASSERT_TRUE(screen_available());
        CameraTest::SetUp();
    }
    // The stored value under Camera_00 (and a subkey), or -1 when it is missing.
    int32_t stored(const std::string& subkey, const char* name) const {
        DWORD value = 0, size = sizeof value;
        const std::string key = store.root() + "\\Camera_00" + (subkey.empty() ? "" : "\\" + subkey);
        return RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                       ERROR_SUCCESS
                   ? static_cast<int32_t>(value)
                   : -1;
    }
    void write(const std::string& subkey, const char* name, DWORD value) const {
        const std::string path = store.root() + "\\Camera_00" + (subkey.empty() ? "" : "\\" + subkey);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    void stream() {
        ASSERT_EQ(Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(Imvela_CallBackPreview(handle, window.handle(), nullptr, 0, 0), 1);
    }
    // Whether a frame of this depth and width arrives within the bound.
    bool frame_arrives(int32_t bits, int32_t width) {
        PostedMessage m{};
        return eventually([&] {
            if (!window.next(&m, 100) || m.message != WM_CAMERA_FRAME || !m.wparam) return false;
            const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
            return record->bit_count == bits && record->width == width;
        });
    }
    bool frames_stopped() {
        window.drain(100);
        PostedMessage m{};
        return !window.next(&m, 300);
    }
    static int32_t sensor(int32_t address) { return ImvelaEmu_ReadRegister(0, address); }
    static bool japanese() { return GetSystemDefaultLangID() == 1041; }
    static bool japanese_run() {
        const char* all = std::getenv("LC_ALL");
        return all && std::string(all).rfind("ja_JP", 0) == 0;
    }
};

TEST_F(PropertyDialogs, CameraDialogEnglish) {
    stream();
    {
        OpenDialog d(Imvela_SetCameraDlg, handle, L"Property");
        ASSERT_TRUE(d.window);
        EXPECT_TRUE(frames_stopped());
        EXPECT_EQ(lines(d.window, IDC_SIZE_LIST), (Lines{L"1280 x 1024", L"Custom"}));
        EXPECT_EQ(lines(d.window, IDC_COLOR)[1], L"Monochrome 10bit *");
        EXPECT_EQ(lines(d.window, IDC_CLOCK)[2], L"High(80MHz)");
        EXPECT_EQ(tab_label(d.window, 0), L"Stream Format");
        EXPECT_TRUE(GetWindowLongW(item(d.window, IDC_TAB), GWL_STYLE) & TCS_OWNERDRAWFIXED);
        for (int id : {IDC_SUB_SAMPLE, IDC_CLOCK, IDC_APPLY}) EXPECT_FALSE(IsWindowEnabled(item(d.window, id))) << id;
        keep_screenshot(d.window, "camera_en");

        choose(d.window, IDC_SIZE_LIST, 1);  // "Custom"
        type(d.window, IDC_EFFECTIVE_H, L"640");
        type(d.window, IDC_EFFECTIVE_V, L"480");
        choose(d.window, IDC_COLOR, 0);
        d.send(IDC_APPLY);
        EXPECT_EQ(lines(d.window, IDC_SIZE_LIST), (Lines{L"1280 x 1024", L"640 x 480", L"Custom"}));
        EXPECT_EQ(ask(d.window, IDC_SIZE_LIST, CB_GETCURSEL), 1);
        EXPECT_EQ(stored("Size_01", "EH") * 1000 + stored("Size_01", "EV"), 640480);
        EXPECT_EQ(stored("", "Size"), 1);
        EXPECT_EQ(stored("", "Color"), 0);
        EXPECT_EQ(d.finish(IDCANCEL), 1);
    }
    // Cancel after Apply: stored, but the camera keeps its format; the preview runs again,
    // and after OK with the stored format.
    EXPECT_TRUE(frame_arrives(24, 1280));
    EXPECT_EQ(OpenDialog(Imvela_SetCameraDlg, handle, L"Property").finish(IDOK), 1);
    EXPECT_TRUE(frame_arrives(8, 640));

    // A full table takes no 101st size, and a stored "Size" beyond it selects "Custom".
    for (int entry = 2; entry < 100; ++entry) write((entry < 10 ? "Size_0" : "Size_") + std::to_string(entry), "EH", 320);
    write("", "Size", 250);
    {
        OpenDialog d(Imvela_SetCameraDlg, handle, L"Property");
        EXPECT_EQ(ask(d.window, IDC_SIZE_LIST, CB_GETCURSEL), 100);
        d.press(IDOK);
        const HWND refusal = wait_for_window(L"Camera Size");
        ASSERT_TRUE(refusal);
        EXPECT_TRUE(IsWindow(d.window));
        EXPECT_EQ(stored("", "Size"), 250);
        EXPECT_EQ(stored("Size_100", "EH"), -1);
        PostMessageW(refusal, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(d.finish(IDCANCEL), 1);
    }
    // A dialog that cannot be made (no such owner window) fails; the preview runs on.
    EXPECT_EQ(Imvela_SetCameraDlg(handle, reinterpret_cast<HWND>(0x7FFF0)), 0);
    EXPECT_EQ(errors(), (Codes{ERR_WINDOW}));
    EXPECT_TRUE(frame_arrives(8, 640));
}

TEST_F(PropertyDialogs, ImageDialogEnglish) {
    stream();
    {
        OpenDialog d(Imvela_SetImageDlg, handle, L"Property");
        const HWND page = d.page(2001);
        ASSERT_TRUE(page);
        EXPECT_EQ(ask(d.window, IDC_TAB, TCM_GETITEMCOUNT), 1);
        EXPECT_EQ(range(page, 2021), std::make_pair(LRESULT{-360}, LRESULT{360}));
        EXPECT_EQ(range(page, 2041), std::make_pair(LRESULT{0}, LRESULT{30}));
        keep_screenshot(d.window, "image_en");
        slide(page, 2001, -100);
        EXPECT_EQ(number(page, 2002), -100);
        EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), -100);
        type(page, 2022, L"45");
        EXPECT_EQ(Imvela_GetHue(handle, nullptr), 45);
        EXPECT_EQ(ask(page, 2021, TBM_GETPOS), 45);
        click(page, IDC_BAYER_0);
        EXPECT_EQ(Imvela_GetBayerMode(handle, nullptr), 0);
        d.send(IDC_DEFAULT);
        EXPECT_EQ(Imvela_GetBrightness(handle, nullptr) + Imvela_GetHue(handle, nullptr), 0);
        EXPECT_EQ(Imvela_GetBayerGainRed(handle, nullptr) + Imvela_GetGamma(handle, nullptr), 200);
        EXPECT_EQ(Imvela_GetBayerMode(handle, nullptr), 3);
        EXPECT_TRUE(checked(page, IDC_BAYER_3));
        EXPECT_EQ(number(page, 2002), 0);
        // White balance on every frame: the gains the pipeline measures show in the page, and
        // once it stops, the page shows the last of them.
        click(page, IDC_ALL_FRAMES);
        EXPECT_TRUE(eventually([&] { return number(page, 2052) != 100; }));
        click(page, IDC_ALL_FRAMES);
        EXPECT_TRUE(eventually([&] { return number(page, 2052) == Imvela_GetBayerGainRed(handle, nullptr); }));
        slide(page, 2001, 50);
        EXPECT_EQ(d.finish(IDCANCEL), 1);
    }
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 0);
    EXPECT_EQ(Imvela_GetBayerGainAuto(handle, nullptr), 0);
    {
        OpenDialog d(Imvela_SetImageDlg, handle, L"Property");
        type(d.page(2001), 2012, L"20");
        EXPECT_EQ(d.finish(IDOK), 1);
    }
    EXPECT_EQ(Imvela_GetContrast(handle, nullptr), 20);
    // Monochrome: the gray page, and no colour controls.
    ASSERT_EQ(Imvela_StopPreview(handle), 1);
    ASSERT_EQ(Imvela_SetColorMode(handle, 8), 1);
    OpenDialog d(Imvela_SetImageDlg, handle, L"Property");
    EXPECT_EQ(ask(d.window, IDC_TAB, TCM_GETITEMCOUNT), 2);
    EXPECT_FALSE(IsWindowEnabled(item(d.page(2001), 2021)));
    EXPECT_FALSE(IsWindowEnabled(item(d.page(2001), IDC_ONCE)));
    EXPECT_EQ(range(d.page(2100), 2100), std::make_pair(LRESULT{0}, LRESULT{400}));
}

TEST_F(PropertyDialogs, AnalogDialogEnglish) {
    const int32_t exposure_before = sensor(0x0F), mirror_before = sensor(0x02);
    {
        OpenDialog d(Imvela_SetAnalogDlg, handle, L"Property");
        const HWND page = d.page(IDC_GAIN_SLIDER);
        ASSERT_TRUE(page);
        EXPECT_EQ(range(page, IDC_GAIN_SLIDER), std::make_pair(LRESULT{0}, LRESULT{11}));
        EXPECT_EQ(range(page, IDC_EXPOSURE_SLIDER), std::make_pair(LRESULT{1}, LRESULT{32767}));
        EXPECT_EQ(range(page, IDC_R_SLIDER), std::make_pair(LRESULT{0}, LRESULT{0}));
        EXPECT_FALSE(IsWindowEnabled(item(page, IDC_R_EDIT)));
        EXPECT_EQ(tab_label(d.window, 0), L"Analog Gain");
        keep_screenshot(d.window, "analog_en");
        slide(page, IDC_EXPOSURE_SLIDER, 1000);
        EXPECT_EQ(sensor(0x0F), 1000);
        const std::wstring time_1000 = text(item(page, IDC_EXPOSURE_TIME));
        EXPECT_EQ(time_1000.substr(0, 1) + time_1000.substr(time_1000.size() - 2), L"=ms");
        EXPECT_NE(time_1000, L"=0.00ms");
        type(page, IDC_GAIN_EDIT, L"5");
        EXPECT_EQ(sensor(0x23), 0x1717);  // the gain code in both bytes
        click(page, IDC_MIRROR_V);
        EXPECT_EQ(sensor(0x02) & 1, 1);
        click(page, IDC_IRIS_EXPOSURE);
        click(page, IDC_IRIS_GAIN);
        EXPECT_FALSE(checked(page, IDC_IRIS_EXPOSURE));
        EXPECT_EQ(Imvela_GetAutoIris(handle, nullptr), 2);
        d.send(IDC_DEFAULT);
        EXPECT_EQ(sensor(0x0F), 637);
        EXPECT_EQ(sensor(0x23), 0x0202);
        EXPECT_EQ(ask(page, IDC_EXPOSURE_SLIDER, TBM_GETPOS), 637);
        EXPECT_EQ(number(page, IDC_EXPOSURE_EDIT), 637);
        EXPECT_NE(text(item(page, IDC_EXPOSURE_TIME)), time_1000);
        slide(page, IDC_EXPOSURE_SLIDER, 2000);
        EXPECT_EQ(d.finish(IDCANCEL), 1);
    }
    EXPECT_EQ(sensor(0x0F), exposure_before);
    EXPECT_EQ(sensor(0x02), mirror_before);
    EXPECT_EQ(Imvela_GetAutoIris(handle, nullptr), 0);
    {
        OpenDialog d(Imvela_SetAnalogDlg, handle, L"Property");
        slide(d.page(IDC_GAIN_SLIDER), IDC_GAIN_SLIDER, 3);
        EXPECT_EQ(d.finish(IDOK), 1);
    }
    EXPECT_EQ(sensor(0x23), 0x1515);
    EXPECT_EQ(Imvela_GetGlobalGain(handle, nullptr), 3);
    // The automatic iris lengthens a short exposure frame by frame; the page follows it, and
    // once it is off, shows where it stopped.
    stream();
    OpenDialog d(Imvela_SetAnalogDlg, handle, L"Property");
    const HWND page = d.page(IDC_GAIN_SLIDER);
    type(page, IDC_EXPOSURE_EDIT, L"20");
    click(page, IDC_IRIS_EXPOSURE);
    EXPECT_TRUE(eventually([&] { return number(page, IDC_EXPOSURE_EDIT) > 20; }));
    click(page, IDC_IRIS_EXPOSURE);
    EXPECT_TRUE(eventually([&] { return number(page, IDC_EXPOSURE_EDIT) == sensor(0x0F); }));
}

// A window off the sensor is refused on OK and Apply with the limits named; the dialog stays
// open and nothing is stored.
TEST_F(PropertyDialogs, CameraDialogRefusesAWindowOffTheSensor) {
    OpenDialog d(Imvela_SetCameraDlg, handle, L"Property");
    ASSERT_TRUE(d.window);
    choose(d.window, IDC_SIZE_LIST, 1);  // "Custom"
    type(d.window, IDC_EFFECTIVE_H, L"5000");
    for (int button : {IDOK, IDC_APPLY}) {
        d.press(button);
        const HWND refusal = wait_for_window(L"Camera Size");
        ASSERT_TRUE(refusal) << button;
        wchar_t said_text[512] = L"";
        GetDlgItemTextW(refusal, 0xFFFF, said_text, 512);  // the message box's text
        const std::wstring said = said_text;
        EXPECT_NE(said.find(L"1292 x 1040"), std::wstring::npos) << button;
        EXPECT_NE(said.find(L"0 + 5000 = 5000"), std::wstring::npos) << button;
        PostMessageW(refusal, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(eventually([&] { return !IsWindow(refusal); }));
        EXPECT_TRUE(IsWindowVisible(d.window));
        EXPECT_EQ(stored("Size_01", "EH"), -1);
    }
    EXPECT_EQ(d.finish(IDCANCEL), 1);
}

// Refreshes (Default) keep every edit box as wide as it was, its spin beside it.
TEST_F(PropertyDialogs, RefreshesKeepTheEditBoxes) {
    OpenDialog d(Imvela_SetAnalogDlg, handle, L"Property");
    const HWND page = d.page(IDC_GAIN_SLIDER);
    ASSERT_TRUE(page);
    auto width = [&](int id) {
        RECT r{};
        GetWindowRect(item(page, id), &r);
        return r.right - r.left;
    };
    const LONG edit = width(IDC_EXPOSURE_EDIT), spin = width(IDC_EXPOSURE_SPIN);
    ASSERT_GT(edit, 0);
    for (int press = 0; press < 3; ++press) d.send(IDC_DEFAULT);
    EXPECT_EQ(width(IDC_EXPOSURE_EDIT), edit);
    EXPECT_EQ(width(IDC_EXPOSURE_SPIN), spin);
    EXPECT_EQ(number(page, IDC_EXPOSURE_EDIT), static_cast<int32_t>(ask(page, IDC_EXPOSURE_SLIDER, TBM_GETPOS)));
}

// Tab reaches the controls of the page on the tab, and a mnemonic two labels share steps
// from the first to the second ("&G Gain", "&Gamma").
TEST_F(PropertyDialogs, KeyboardReachesEveryControlOfThePages) {
    OpenDialog d(Imvela_SetImageDlg, handle, L"Property");
    const HWND page = d.page(2001);
    ASSERT_TRUE(page);
    std::set<int> reached;
    HWND at = GetNextDlgTabItem(d.window, nullptr, FALSE);
    for (int step = 0; step < 64 && at; ++step, at = GetNextDlgTabItem(d.window, at, FALSE))
        reached.insert(GetDlgCtrlID(at));
    for (int id : {2001, 2002, 2081, 2082, IDC_ONCE, IDC_ALL_FRAMES, IDOK, IDC_DEFAULT})
        EXPECT_TRUE(reached.count(id)) << id;
    GUITHREADINFO focus{};
    focus.cbSize = sizeof focus;
    const DWORD thread = GetWindowThreadProcessId(d.window, nullptr);
    auto focused = [&] { return GetGUIThreadInfo(thread, &focus) ? GetDlgCtrlID(focus.hwndFocus) : 0; };
    for (int expected : {2061, 2081, 2061}) {
        ASSERT_TRUE(GetGUIThreadInfo(thread, &focus) && focus.hwndFocus);
        PostMessageW(focus.hwndFocus, WM_SYSCHAR, 'g', 1 << 29);
        EXPECT_TRUE(eventually([&] { return focused() == expected; })) << expected << " " << focused();
    }
}

TEST_F(PropertyDialogs, ReleaseWhileADialogIsOpenIsRefusedAndTheDialogGoesOn) {
    {
        OpenDialog d(Imvela_SetAnalogDlg, handle, L"Property");
        ASSERT_TRUE(d.window);
        EXPECT_EQ(Imvela_Release(handle), 0);
        EXPECT_EQ(Imvela_GetLastError(handle), ERR_NOT_READY);
        slide(d.page(IDC_GAIN_SLIDER), IDC_GAIN_SLIDER, 3);
        EXPECT_EQ(d.finish(IDOK), 1);
    }
    EXPECT_EQ(Imvela_GetGlobalGain(handle, nullptr), 3);
    EXPECT_EQ(Imvela_Release(handle), 1);
    handle = 0;
}

// Run by the api_japanese test, on a system whose default language is Japanese.
class PropertyDialogsJapanese : public PropertyDialogs {
protected:
    void SetUp() override {
        if (!japanese_run()) GTEST_SKIP() << "runs with LC_ALL=ja_JP.UTF-8";
        ASSERT_TRUE(japanese());
        PropertyDialogs::SetUp();
    }
};

TEST_F(PropertyDialogsJapanese, CameraDialog) {
    OpenDialog d(Imvela_SetCameraDlg, handle, L"プロパティ");
    ASSERT_TRUE(d.window);
    EXPECT_EQ(lines(d.window, IDC_COLOR)[1], L"白黒 12bit ※");
    EXPECT_EQ(lines(d.window, IDC_CLOCK), (Lines{L"標準(24MHz)", L"ハーフ(12MHz)", L"高速(80MHz)"}));
    EXPECT_EQ(lines(d.window, IDC_SIZE_LIST).back(), L"カスタム");
    EXPECT_EQ(tab_label(d.window, 0), L"ストリーム形式");
    EXPECT_EQ(text(item(d.window, IDC_APPLY)) + text(item(d.window, IDCANCEL)), L"適用(&A)キャンセル");
    keep_screenshot(d.window, "camera_ja");
}

TEST_F(PropertyDialogsJapanese, ImageDialog) {
    OpenDialog d(Imvela_SetImageDlg, handle, L"プロパティ");
    ASSERT_TRUE(d.window);
    EXPECT_EQ(text(item(d.window, IDC_DEFAULT)), L"規定値(&D)");
    EXPECT_EQ(tab_label(d.window, 0), L"Image Filter");
    keep_screenshot(d.window, "image_ja");
}

TEST_F(PropertyDialogsJapanese, AnalogDialog) {
    OpenDialog d(Imvela_SetAnalogDlg, handle, L"プロパティ");
    ASSERT_TRUE(d.window);
    EXPECT_EQ(text(item(d.window, IDCANCEL)) + text(item(d.window, IDC_DEFAULT)), L"キャンセル規定値(&D)");
    EXPECT_TRUE(d.page(IDC_GAIN_SLIDER));
    keep_screenshot(d.window, "analog_ja");
}

}  // namespace
