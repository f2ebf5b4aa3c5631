// Every record sarvik shares with the host, and the per-search context the host holds as an opaque
// handle. The host reads these by byte offset, so the layouts are pinned below for both
// Windows builds. Handles are kept as void* so the portable logic compiles without <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/code_page.h"

// A field's capacity is what it holds with its terminator; a length never counts the terminator.
constexpr size_t kPathCapacity = 260;        // wide characters
constexpr size_t kCommandLineLength = 8192;  // the longest command line, in characters
constexpr size_t kOutputBufferLength = 512;  // the most unread child output held, in bytes
constexpr size_t kHostRecordSize = 40;
// A real path: the BaseDirectory (259 characters), a backslash and a file part (259), with room
// for the long form's "\\?\UNC" before them. It may pass the system's 260-character limit.
constexpr size_t kRealPathCapacity = 2 * kPathCapacity + 8;
// The first lines of an output that named no entry, kept to show why a listing stays empty.
constexpr size_t kShownLines = 10;

// Filled by ApiGetPluginInfo.
struct PluginInfoRecord {
  wchar_t name[64];
  wchar_t author[32];
  uint32_t version;  // one byte per component, most significant first
  uint8_t reserved[16];
};

// Third argument of ApiOpen. The host's title field may be longer; sarvik writes eight characters.
struct OpenResultRecord {
  wchar_t directory[kPathCapacity];
  wchar_t root[kPathCapacity];
  wchar_t title[8];
};

// One listed entry. Only these fields are written; the host's record may continue beyond them.
struct FindRecord {
  wchar_t name[kPathCapacity];
  uint32_t sizeLow;
  uint32_t sizeHigh;
  uint32_t writeTimeLow;  // FILETIME
  uint32_t writeTimeHigh;
  uint32_t attributes;
};

// What a listed entry tells of its real file.
struct FileFacts {
  uint32_t sizeLow;
  uint32_t sizeHigh;
  uint32_t writeTimeLow;
  uint32_t writeTimeHigh;
  uint32_t attributes;
};

// A file that is missing, unreachable or too long to name is still an entry, like an empty file.
constexpr FileFacts kMissingFile = {0, 0, 0, 0, 0x80};  // FILE_ATTRIBUTE_NORMAL

// One open search, from ApiOpen to ApiClose. Allocated zero-filled; everything later entry points
// need is here.
struct SearchContext {
  uint8_t hostRecord[kHostRecordSize];  // copy of ApiOpen's second argument, never read again
  void* process;                        // the running search, null until started
  void* outputRead;                     // parent's read end of the output pipe; null once exhausted
  void* inputWrite;                     // parent's write end of the child's standard input
  // Unread output in the output's code page, NUL-terminated: the extra byte keeps a full buffer a
  // C string.
  char outputBuffer[kOutputBufferLength + 1];
  wchar_t commandLine[kCommandLineLength + 1];
  wchar_t baseDirectory[kPathCapacity];
  wchar_t configPath[kPathCapacity];
  int32_t messageOutput;  // 1: echo the output and acknowledge the end of a listing
  // The previous entry's real path (as the configured code page reads it), the size, time and
  // attributes it gave, and the code page whose reading named the file, reused while one file's
  // matches follow each other: the attribute query is the dearest call of a listing. Emptied when
  // a listing starts.
  wchar_t lastRealPath[kRealPathCapacity];
  FileFacts lastFile;
  uint32_t lastCodePage;
  OutputEncoding encoding;  // the CodePage key, read by ApiOpen
  // Set once the start of a listing's output has been looked at for a UTF-8 byte-order mark.
  uint8_t byteOrderMarkChecked;
  // Empty polls since the last read that got data: the wait grows with it, so a search printing
  // in bursts is read at its own pace while an idle one is polled no more often than before.
  uint8_t silentPolls;
  // An Escape key held down since before the listing started: it counts once released.
  uint8_t escapeHeld;
  // A listing call (ApiFindFirst, ApiFindNext) is under way. The host may call in again from a
  // message its wait dispatches: then no second listing call runs, and ApiClose only sets
  // `closing`; the context is released when the listing call returns.
  uint8_t listing;
  uint8_t closing;
  uint32_t lastWatch;  // when the host's messages and Escape were last looked at
  // Whether this listing has listed an entry; until it has, how many lines named none, and the
  // first of them as read (unless message output shows them anyway), to say why it stays empty.
  uint8_t listedAny;
  uint32_t unlistedLines;
  char shownLines[kShownLines][kOutputBufferLength + 1];
  // The job the search runs in, with every process it starts: ending it ends them all. Null where
  // no job could be made or the child could not be put in one.
  void* job;
  // The entry handed over last was cut from a line longer than the buffer: the rest of that line
  // is dropped by the next look at the output.
  uint8_t droppingRest;
};

#if defined(_WIN32)
// The host's records hold no pointer: the same bytes in the 32-bit and the 64-bit build.
static_assert(sizeof(wchar_t) == 2, "the host speaks UTF-16");
static_assert(offsetof(PluginInfoRecord, name) == 0);
static_assert(offsetof(PluginInfoRecord, author) == 128);
static_assert(offsetof(PluginInfoRecord, version) == 192);
static_assert(offsetof(PluginInfoRecord, reserved) == 196);
static_assert(sizeof(PluginInfoRecord) == 212);

static_assert(offsetof(OpenResultRecord, directory) == 0);
static_assert(offsetof(OpenResultRecord, root) == 520);
static_assert(offsetof(OpenResultRecord, title) == 1040);

static_assert(offsetof(FindRecord, name) == 0);
static_assert(offsetof(FindRecord, sizeLow) == 520);
static_assert(offsetof(FindRecord, sizeHigh) == 524);
static_assert(offsetof(FindRecord, writeTimeLow) == 528);
static_assert(offsetof(FindRecord, writeTimeHigh) == 532);
static_assert(offsetof(FindRecord, attributes) == 536);
static_assert(sizeof(FindRecord) == 540);
#endif

// The host treats the SearchContext as opaque, but the command-line host and the tests read a live
// one through this header: its layout is pinned too, so that a change of it is a decision.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(SearchContext, hostRecord) == 0);
static_assert(offsetof(SearchContext, process) == 40);
static_assert(offsetof(SearchContext, outputRead) == 44);
static_assert(offsetof(SearchContext, inputWrite) == 48);
static_assert(offsetof(SearchContext, outputBuffer) == 52);
static_assert(offsetof(SearchContext, commandLine) == 566);
static_assert(offsetof(SearchContext, baseDirectory) == 16952);
static_assert(offsetof(SearchContext, configPath) == 17472);
static_assert(offsetof(SearchContext, messageOutput) == 17992);
static_assert(offsetof(SearchContext, lastRealPath) == 17996);
static_assert(offsetof(SearchContext, lastFile) == 19052);
static_assert(offsetof(SearchContext, lastCodePage) == 19072);
static_assert(offsetof(SearchContext, encoding) == 19076);
static_assert(offsetof(SearchContext, byteOrderMarkChecked) == 19116);
static_assert(offsetof(SearchContext, silentPolls) == 19117);
static_assert(offsetof(SearchContext, escapeHeld) == 19118);
static_assert(offsetof(SearchContext, listing) == 19119);
static_assert(offsetof(SearchContext, closing) == 19120);
static_assert(offsetof(SearchContext, lastWatch) == 19124);
static_assert(offsetof(SearchContext, listedAny) == 19128);
static_assert(offsetof(SearchContext, unlistedLines) == 19132);
static_assert(offsetof(SearchContext, shownLines) == 19136);
static_assert(offsetof(SearchContext, job) == 24268);
static_assert(offsetof(SearchContext, droppingRest) == 24272);
static_assert(sizeof(SearchContext) == 24276);
#elif defined(_WIN64)
// The handles are pointer-sized: everything after them moves by 12 bytes.
static_assert(offsetof(SearchContext, hostRecord) == 0);
static_assert(offsetof(SearchContext, process) == 40);
static_assert(offsetof(SearchContext, outputRead) == 48);
static_assert(offsetof(SearchContext, inputWrite) == 56);
static_assert(offsetof(SearchContext, outputBuffer) == 64);
static_assert(offsetof(SearchContext, commandLine) == 578);
static_assert(offsetof(SearchContext, baseDirectory) == 16964);
static_assert(offsetof(SearchContext, configPath) == 17484);
static_assert(offsetof(SearchContext, messageOutput) == 18004);
static_assert(offsetof(SearchContext, lastRealPath) == 18008);
static_assert(offsetof(SearchContext, lastFile) == 19064);
static_assert(offsetof(SearchContext, lastCodePage) == 19084);
static_assert(offsetof(SearchContext, encoding) == 19088);
static_assert(offsetof(SearchContext, byteOrderMarkChecked) == 19128);
static_assert(offsetof(SearchContext, silentPolls) == 19129);
static_assert(offsetof(SearchContext, escapeHeld) == 19130);
static_assert(offsetof(SearchContext, listing) == 19131);
static_assert(offsetof(SearchContext, closing) == 19132);
static_assert(offsetof(SearchContext, lastWatch) == 19136);
static_assert(offsetof(SearchContext, listedAny) == 19140);
static_assert(offsetof(SearchContext, unlistedLines) == 19144);
static_assert(offsetof(SearchContext, shownLines) == 19148);
static_assert(offsetof(SearchContext, job) == 24280);
static_assert(offsetof(SearchContext, droppingRest) == 24288);
static_assert(sizeof(SearchContext) == 24296);
#endif
