// Every text the user can see, exact to the byte. The 8-bit texts are code page 932 (written as
// escapes so the source encoding cannot change them); the comment above each gives it in Japanese.
#pragma once

// ERROR : 第 1 引数の path は「"」で囲んでください。
inline constexpr char kQuoteDirectoryMessage[] =
    "ERROR : \x91\xe6 1 \x88\xf8\x90\x94\x82\xcc path \x82\xcd\x81u\"\x81v\x82\xc5\x88\xcd\x82\xf1"
    "\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81"
    "B";

// 処理を中断しました
inline constexpr char kInterruptedMessage[] =
    "\x8f\x88\x97\x9d\x82\xf0\x92\x86\x92"
    "f\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

// ERROR: sarvik.ini の以下の内容の箇所を確認してください。 Printed before the entry at fault: an
// entry template as read, or "CodePage=" and the value as read.
inline constexpr char kConfigEntryMessage[] =
    "ERROR: sarvik.ini \x82\xcc\x88\xc8\x89\xba\x82\xcc\x93\xe0\x97"
    "e\x82\xcc\x89\xd3\x8f\x8a\x82\xf0\x8am\x94"
    "F\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81"
    "B";

// 検索コマンドの出力に「ファイル名:行番号:」で始まる行はありませんでした。 Printed when a listing
// ends without an entry although the search printed lines; what it printed follows.
inline constexpr char kNoEntryMessage[] =
    "\x8c\x9f\x8d\xf5\x83R\x83}\x83\x93\x83h\x82\xcc\x8fo\x97\xcd\x82\xc9\x81u\x83t\x83@\x83"
    "C\x83\x8b\x96\xbc:\x8ds\x94\xd4\x8d\x86:\x81v\x82\xc5\x8en\x82\xdc\x82\xe9\x8ds\x82\xcd"
    "\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81"
    "B";
// （ほか N 行）: how many more such lines the search printed than are shown.
inline constexpr char kMoreLinesBefore[] = "\x81i\x82\xd9\x82\xa9 ";
inline constexpr char kMoreLinesAfter[] = " \x8ds\x81j";

inline constexpr wchar_t kListingHeader[] = L"---------- grep \u5b9f\u884c ----------";  // 実行
inline constexpr wchar_t kListingTitle[] = L"grep \u7d50\u679c";                         // 結果
inline constexpr wchar_t kListingRoot[] = L"/";

// The launch failure line, "ERROR: API = Redirect.  error code = <code>.  message = <text>.",
// in its pieces; the system's text for the code stands in place of <text>.
inline constexpr wchar_t kLaunchErrorApiLabel[] = L"ERROR: API = ";
inline constexpr wchar_t kLaunchErrorApi[] = L"Redirect";
inline constexpr wchar_t kLaunchErrorCodeLabel[] = L".  error code = ";
inline constexpr wchar_t kLaunchErrorMessageLabel[] = L".  message = ";
inline constexpr wchar_t kLaunchErrorEnd[] = L".";
// Stands in when the system has no text for an error code.
inline constexpr wchar_t kNoSystemText[] = L"(no system message for this code)";

inline constexpr wchar_t kPluginName[] = L"sarvik";
inline constexpr wchar_t kPluginAuthor[] = L"T907.ORVALD";
