// Localized text: the error messages, the names of the six fills, the preview's menu, notices and
// corner label, and the choice of dialog template, in Japanese or English by the user's default
// language.
#include "settings/localized_text.h"

namespace {

// "設定ファイルに書き込まれている値が不正です。"
constexpr char kJapaneseInvalid[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDC"
    "\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x92\x6C\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7\x81\x42";

// "設定ファイルに書き込めませんでした。"
constexpr char kJapaneseSaveFailed[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC9\x8F\x91\x82\xAB\x8D\x9E"
    "\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";

// "設定ファイルを読み込めませんでした。"
constexpr char kJapaneseReadFailed[] =
    "\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E"
    "\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";

// "設定ダイアログを作成できませんでした。"
constexpr char kJapaneseDialogFailed[] =
    "\x90\xDD\x92\xE8\x83\x5F\x83\x43\x83\x41\x83\x8D\x83\x4F\x82\xF0\x8D\xEC\x90\xAC"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42";

constexpr const char* kJapaneseNames[] = {
    "\x92\x5B\x82\xCC\x89\xE6\x91\x66",  // 端の画素, edge pixel
    "\x8C\xB3\x82\xCC\x89\xE6\x91\x66",  // 元の画素, source pixel
    "\x95\x60\x89\xE6\x90\x46",          // 描画色, foreground colour
    "\x94\x77\x8C\x69\x90\x46",          // 背景色, background colour
    "\x94\x92",                          // 白, white
    "\x8D\x95",                          // 黒, black
    nullptr,
};

constexpr const char* kEnglishNames[] = {
    "edge pixel", "source pixel", "foreground color", "background color", "white", "black", nullptr,
};

constexpr const char* kJapaneseMenu[] = {
    // 垂直線をまっすぐにする, straighten verticals
    "\x90\x82\x92\xBC\x90\xFC\x82\xF0\x82\xDC\x82\xC1\x82\xB7\x82\xAE\x82\xC9\x82\xB7\x82\xE9",
    // 水平線をまっすぐにする, straighten horizontals
    "\x90\x85\x95\xBD\x90\xFC\x82\xF0\x82\xDC\x82\xC1\x82\xB7\x82\xAE\x82\xC9\x82\xB7\x82\xE9",
    "\x91\x53\x91\xCC\x82\xF0\x95\x5C\x8E\xA6",  // 全体を表示, fit whole picture
    "\x93\x99\x94\x7B\x82\xC5\x95\x5C\x8E\xA6",  // 等倍で表示, actual pixels
    // グリッドを表示, show grid
    "\x83\x4F\x83\x8A\x83\x62\x83\x68\x82\xF0\x95\x5C\x8E\xA6",
    "\x83\x4B\x83\x43\x83\x68\x82\xF0\x95\x60\x82\xAD",  // ガイドを描く, draw guides
    "\x83\x4B\x83\x43\x83\x68\x82\xF0\x8F\xC1\x8B\x8E",  // ガイドを消去, clear guides
    // ガイドに沿って補正, straighten along guides
    "\x83\x4B\x83\x43\x83\x68\x82\xC9\x89\x88\x82\xC1\x82\xC4\x95\xE2\x90\xB3",
    nullptr,
};

constexpr const char* kEnglishMenu[] = {
    "Straighten verticals",
    "Straighten horizontals",
    "Fit whole picture",
    "Actual pixels (1:1)",
    "Show grid",
    "Draw guides",
    "Clear guides",
    "Straighten along guides",
    nullptr,
};

// "直線が見つかりません。"
constexpr char kJapaneseNoLines[] =
    "\x92\xBC\x90\xFC\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";

// "ガイドを2本以上描いてください。"
constexpr char kJapaneseTooFewGuides[] =
    "\x83\x4B\x83\x43\x83\x68\x82\xF0\x32\x96\x7B\x88\xC8\x8F\xE3\x95\x60\x82\xA2"
    "\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42";

// "縦のガイドと横のガイドが混ざっています。どちらかにそろえてください。"
constexpr char kJapaneseMixedGuides[] =
    "\x8F\x63\x82\xCC\x83\x4B\x83\x43\x83\x68\x82\xC6\x89\xA1\x82\xCC\x83\x4B\x83\x43"
    "\x83\x68\x82\xAA\x8D\xAC\x82\xB4\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42"
    "\x82\xC7\x82\xBF\x82\xE7\x82\xA9\x82\xC9\x82\xBB\x82\xEB\x82\xA6\x82\xC4\x82\xAD"
    "\x82\xBE\x82\xB3\x82\xA2\x81\x42";

constexpr char kJapaneseBefore[] = "\x95\xE2\x90\xB3\x91\x4F";  // 補正前, before

// "%s: %s=%d、指定できる範囲は %d～%d です"
constexpr char kJapaneseOutOfRange[] =
    "%s: %s=%d\x81\x41\x8E\x77\x92\xE8\x82\xC5\x82\xAB\x82\xE9\x94\xCD\x88\xCD\x82\xCD"
    " %d\x81\x60%d \x82\xC5\x82\xB7";
// "この画像の縦横比を復元するにはメモリが足りません。"
constexpr char kJapaneseNoMemory[] =
    "\x82\xB1\x82\xCC\x89\xE6\x91\x9C\x82\xCC\x8F\x63\x89\xA1\x94\xE4\x82\xF0\x95\x9C\x8C\xB3"
    "\x82\xB7\x82\xE9\x82\xC9\x82\xCD\x83\x81\x83\x82\x83\x8A\x82\xAA\x91\xAB\x82\xE8\x82\xDC"
    "\x82\xB9\x82\xF1\x81\x42";

static_assert(sizeof(kJapaneseMenu) / sizeof(kJapaneseMenu[0]) == kPreviewMenuEntryCount + 1);
static_assert(sizeof(kEnglishMenu) / sizeof(kEnglishMenu[0]) == kPreviewMenuEntryCount + 1);
static_assert(sizeof(kJapaneseNames) / sizeof(kJapaneseNames[0]) == 7);
static_assert(sizeof(kEnglishNames) / sizeof(kEnglishNames[0]) == 7);

const JapaneseText kJapanese;
const EnglishText kEnglish;

}  // namespace

const char* JapaneseText::InvalidSettingsMessage() const noexcept { return kJapaneseInvalid; }
const char* const* JapaneseText::UndefinedAreaNames() const noexcept { return kJapaneseNames; }
const char* JapaneseText::SaveFailedMessage() const noexcept { return kJapaneseSaveFailed; }
const char* JapaneseText::ReadFailedMessage() const noexcept { return kJapaneseReadFailed; }
const char* JapaneseText::DialogFailedMessage() const noexcept { return kJapaneseDialogFailed; }
const char* const* JapaneseText::PreviewMenuNames() const noexcept { return kJapaneseMenu; }
const char* JapaneseText::NoStraightLinesNotice() const noexcept { return kJapaneseNoLines; }
const char* JapaneseText::TooFewGuidesNotice() const noexcept { return kJapaneseTooFewGuides; }
const char* JapaneseText::MixedGuidesNotice() const noexcept { return kJapaneseMixedGuides; }
const char* JapaneseText::BeforeLabel() const noexcept { return kJapaneseBefore; }
const char* JapaneseText::OutOfRangeFormat() const noexcept { return kJapaneseOutOfRange; }
const char* JapaneseText::NoMemoryForProportionsMessage() const noexcept {
    return kJapaneseNoMemory;
}

const char* EnglishText::InvalidSettingsMessage() const noexcept {
    return "There is invalidate value in the initialization file.";
}
const char* const* EnglishText::UndefinedAreaNames() const noexcept { return kEnglishNames; }
const char* EnglishText::SaveFailedMessage() const noexcept {
    return "The settings could not be written to the file:";
}
const char* EnglishText::ReadFailedMessage() const noexcept {
    return "The settings file could not be read:";
}
const char* EnglishText::DialogFailedMessage() const noexcept {
    return "The setup dialog could not be created.";
}
const char* const* EnglishText::PreviewMenuNames() const noexcept { return kEnglishMenu; }
const char* EnglishText::NoStraightLinesNotice() const noexcept {
    return "No straight lines found.";
}

const char* EnglishText::TooFewGuidesNotice() const noexcept { return "Draw at least two guides."; }
const char* EnglishText::MixedGuidesNotice() const noexcept {
    return "The guides are both near-vertical and near-horizontal: keep to one direction.";
}
const char* EnglishText::BeforeLabel() const noexcept { return "Before"; }
const char* EnglishText::OutOfRangeFormat() const noexcept { return "%s: %s=%d, allowed %d to %d"; }
const char* EnglishText::NoMemoryForProportionsMessage() const noexcept {
    return "There is not enough memory to restore the proportions of this image.";
}

const LocalizedText& TextForLanguage(std::uint32_t languageId) noexcept {
    if (IsJapaneseLanguage(languageId)) return kJapanese;
    return kEnglish;
}
