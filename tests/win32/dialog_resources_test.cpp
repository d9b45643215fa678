// The setup dialog templates as stored in the real DLL: languages, styles, fonts, captions and
// every control's id, class, style, text and rectangle, in order.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Control {
    std::uint32_t style;
    int x, y, cx, cy;
    std::uint16_t id;
    std::wstring windowClass;  // "#128" style for class atoms
    std::wstring text;
};

struct Template {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, windowClass, caption, font;
    int pointSize = 0;
    std::vector<Control> controls;
};

// Reads a classic DLGTEMPLATE: a zero word, an 0xFFFF-and-ordinal pair, or a string.
class Reader {
   public:
    explicit Reader(const std::uint8_t* start) : base(start), at(start) {}
    std::uint16_t Word() {
        std::uint16_t w = static_cast<std::uint16_t>(at[0] | at[1] << 8);
        at += 2;
        return w;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    int Short() { return static_cast<std::int16_t>(Word()); }
    std::wstring NameOrOrdinal() {
        const std::uint16_t first = Word();
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring s;
        for (std::uint16_t c = first; c != 0; c = Word()) s += static_cast<wchar_t>(c);
        return s;
    }
    void AlignDword() {
        while ((at - base) % 4 != 0) ++at;
    }

   private:
    const std::uint8_t* base;
    const std::uint8_t* at;
};

Template Parse(const std::uint8_t* data) {
    Reader r(data);
    Template t;
    t.style = r.Dword();
    t.exStyle = r.Dword();
    const int count = r.Word();
    t.x = r.Short();
    t.y = r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    t.menu = r.NameOrOrdinal();
    t.windowClass = r.NameOrOrdinal();
    t.caption = r.NameOrOrdinal();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.font = r.NameOrOrdinal();
    }
    for (int i = 0; i < count; ++i) {
        r.AlignDword();
        Control c{};
        c.style = r.Dword();
        r.Dword();  // extended style
        c.x = r.Short();
        c.y = r.Short();
        c.cx = r.Short();
        c.cy = r.Short();
        c.id = r.Word();
        c.windowClass = r.NameOrOrdinal();
        c.text = r.NameOrOrdinal();
        r.Word();  // creation data size
        t.controls.push_back(c);
    }
    return t;
}

// The controls of both templates, in order: id, class, styles besides WS_CHILD | WS_VISIBLE.
struct Row {
    std::uint16_t id;
    const wchar_t* windowClass;
    std::uint32_t style;
};
constexpr DWORD kRadio = BS_AUTORADIOBUTTON | BS_PUSHLIKE | BS_ICON;
const Row kRows[] = {
    {0xFFFF, L"#130", SS_LEFT | WS_GROUP},
    {1065, L"#128", kRadio | WS_GROUP},
    {1066, L"#128", kRadio},
    {1067, L"#128", kRadio},
    {1068, L"#128", kRadio},
    {1069, L"#128", kRadio},
    {1070, L"#128", kRadio},
    {0xFFFF, L"#130", SS_LEFT | WS_GROUP},
    {1059, L"#129", ES_RIGHT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {1060, L"msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS},
    {1061, L"msctls_trackbar32", TBS_AUTOTICKS | TBS_TOP | WS_TABSTOP},
    {0xFFFF, L"#128", BS_GROUPBOX},
    {1064, L"#133", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {1062, L"#128", BS_AUTOCHECKBOX | WS_TABSTOP},
    {1072, L"#128", BS_AUTOCHECKBOX | WS_DISABLED | WS_TABSTOP},
    {1005, L"#130", SS_GRAYFRAME | SS_NOTIFY | SS_SUNKEN},
    {1006, L"#128", BS_AUTOCHECKBOX | WS_TABSTOP},
    {1073, L"#128", BS_AUTOCHECKBOX | WS_TABSTOP},
    {1090, L"#128", BS_AUTOCHECKBOX | WS_TABSTOP},
    {1, L"#128", BS_DEFPUSHBUTTON | WS_TABSTOP},
    {2, L"#128", BS_PUSHBUTTON | WS_TABSTOP},
};

struct Texts {
    const wchar_t* text;
    int x, y, cx, cy;
};
const Texts kJapanese[] = {
    {L"\u5F62\u72B6(&S)", 5, 10, 23, 8},
    {L"\u4E0A\u3068\u4E0B", 5, 20, 25, 25},
    {L"\u4E0A", 30, 20, 25, 25},
    {L"\u4E0B", 55, 20, 25, 25},
    {L"\u5DE6\u3068\u53F3", 5, 45, 25, 25},
    {L"\u5DE6", 30, 45, 25, 25},
    {L"\u53F3", 55, 45, 25, 25},
    {L"% \u5909\u5F62\u91CF(&D)", 5, 85, 36, 8},
    {L"", 45, 80, 40, 14},
    {L"Spin1", 75, 85, 9, 14},
    {L"Slider1", 4, 95, 90, 20},
    {L"\u672A\u5B9A\u7FA9\u9818\u57DF(&U)", 5, 125, 110, 50},
    {L"", 10, 141, 60, 63},
    {L"\u900F\u660E(&T)", 75, 141, 38, 10},
    {L"\u9078\u629E\u77E9\u5F62\u5185\u306E\u307F\u53C2\u7167\u3059\u308B(&R)", 10, 160, 99, 10},
    {L"", 96, 4, 110, 90},
    {L"\u30D7\u30EC\u30D3\u30E5\u30FC(&P)", 125, 100, 55, 10},
    {L"\u9060\u8FD1\u88DC\u6B63(&E)", 125, 114, 55, 10},
    {L"\u7E26\u6A2A\u6BD4\u3092\u5FA9\u5143(&O)", 125, 128, 80, 10},
    {L"OK", 5, 183, 50, 14},
    {L"\u30AD\u30E3\u30F3\u30BB\u30EB", 156, 183, 50, 14},
};
const Texts kEnglish[] = {
    {L"&Shape", 5, 5, 22, 8},
    {L"Top and Bottom", 5, 15, 30, 23},
    {L"Top", 35, 15, 30, 23},
    {L"Bottom", 65, 15, 30, 23},
    {L"Left and Right", 5, 38, 30, 22},
    {L"Left", 35, 38, 30, 22},
    {L"Right", 65, 38, 30, 22},
    {L"% &Difference", 5, 75, 44, 8},
    {L"", 50, 70, 40, 14},
    {L"Spin1", 89, 71, 11, 14},
    {L"Slider1", 5, 86, 90, 20},
    {L"&Undefined area", 5, 110, 140, 55},
    {L"", 10, 125, 70, 59},
    {L"&Transparent", 85, 125, 55, 10},
    {L"&Refar to the current selected rectangle only", 10, 145, 130, 15},
    {L"", 105, 4, 130, 76},
    {L"&Preview", 146, 87, 43, 10},
    {L"P&erspective", 146, 100, 60, 10},
    {L"Rest&ore proportions", 146, 113, 88, 10},
    {L"OK", 5, 171, 50, 14},
    {L"Cancel", 185, 171, 50, 14},
};

class DialogResources : public ::testing::Test {
   protected:
    void SetUp() override {
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string dll = exe;
        dll = dll.substr(0, dll.rfind('\\') + 1) + "trapezoid.dll";
        module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << dll;
    }
    void TearDown() override { FreeLibrary(module); }

    // The template stored under exactly `language`.
    bool Load(int id, WORD language, Template* out) {
        const HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(id), language);
        if (found == nullptr) return false;
        *out = Parse(static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))));
        return true;
    }
    void Check(const Template& t, const Texts* texts, bool english) {
        EXPECT_EQ(t.style, 0x80C800C0u);
        EXPECT_EQ(t.exStyle, 0u);
        EXPECT_EQ(t.menu, L"");
        EXPECT_EQ(t.windowClass, L"");
        ASSERT_EQ(t.controls.size(), std::size(kRows));
        for (std::size_t i = 0; i < std::size(kRows); ++i) {
            const Control& c = t.controls[i];
            std::uint32_t style = WS_CHILD | WS_VISIBLE | kRows[i].style;
            if (english && kRows[i].id == 1072) style |= BS_MULTILINE;
            EXPECT_EQ(c.id, kRows[i].id) << i;
            EXPECT_EQ(_wcsicmp(c.windowClass.c_str(), kRows[i].windowClass), 0) << i;
            EXPECT_EQ(c.style, style) << "control " << i << " id " << c.id;
            EXPECT_EQ(c.text, texts[i].text) << i;
            EXPECT_EQ(c.x, texts[i].x) << i;
            EXPECT_EQ(c.y, texts[i].y) << i;
            EXPECT_EQ(c.cx, texts[i].cx) << i;
            EXPECT_EQ(c.cy, texts[i].cy) << i;
        }
    }
    HMODULE module = nullptr;
};

TEST_F(DialogResources, JapaneseTemplate) {
    Template t;
    ASSERT_TRUE(Load(118, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), &t));
    EXPECT_EQ(t.caption, L"\u53F0\u5F62");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.font, L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF");
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.cx, 210);
    EXPECT_EQ(t.cy, 201);
    Check(t, kJapanese, false);
}

TEST_F(DialogResources, EnglishTemplate) {
    Template t;
    ASSERT_TRUE(Load(119, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), &t));
    EXPECT_EQ(t.caption, L"Trapezoid");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, L"Arial");
    EXPECT_EQ(t.cx, 239);
    EXPECT_EQ(t.cy, 189);
    Check(t, kEnglish, true);
}

TEST_F(DialogResources, IconsAndCursors) {
    for (int id = 1065; id <= 1070; ++id) {
        EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON), nullptr) << id;
    }
    for (int id : {107, 108}) {
        const HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_CURSOR);
        ASSERT_NE(group, nullptr) << id;
        // The cursor image starts with its hot spot: (0, 0), the hand's top-left pixel.
        const auto* dir =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(module, group)));
        const int imageId = dir[6 + 12] | dir[6 + 13] << 8;
        const HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(imageId), RT_CURSOR);
        ASSERT_NE(image, nullptr);
        const auto* bytes =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(module, image)));
        EXPECT_EQ(bytes[0] | bytes[1] << 8, 0) << "hot spot x";
        EXPECT_EQ(bytes[2] | bytes[3] << 8, 0) << "hot spot y";
    }
}

}  // namespace
