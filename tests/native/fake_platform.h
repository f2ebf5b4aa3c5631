// A scripted stand-in for the pipe, keyboard and host behind the reader.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "search/reader.h"

struct FakeOutput {
  std::vector<std::string> chunks;    // each becomes readable in turn, as one write of the child
  int silentPolls = 0;                // peeks that find nothing before each chunk
  uint32_t gapMilliseconds = 0;       // or the time, on the clock, before each chunk after the first
  bool hangAtEnd = false;             // after the last chunk: silent forever instead of broken
  int escapeAtPoll = -1;              // the query of Escape (counted from 0) that finds it pressed
  std::vector<uint8_t> escapeStates;  // what the queries find, in order (then nothing)
  uint32_t readMilliseconds = 0;      // how long each read takes on the clock
  // The host closes the listing from the message dispatched by this pump, or by this print (each
  // counted from 0): it sets `closing` in this context, as ApiClose does.
  SearchContext* context = nullptr;
  int closeAtPump = -1, closeAtPrint = -1;

  // What the reader did.
  int polls = 0, pumps = 0, sleeps = 0, reads = 0;
  bool closed = false, terminated = false;
  std::vector<std::string> printed;
  std::vector<uint32_t> printedCodePages;
  std::vector<uint32_t> readCapacities;
  std::vector<uint32_t> waits;              // each sleep's milliseconds
  uint32_t clock = 0;                       // milliseconds: sleeps and reads move it
  std::vector<uint32_t> pumpedAt;           // the clock at each pump
  std::vector<uint32_t> pumpShares;         // the time each pump was given
  std::map<std::wstring, FileFacts> files;  // what exists, by the path asked for
  std::vector<std::wstring> lookedUp;       // every path asked for, in order

  size_t next = 0, offset = 0;
  int silentLeft = -1;
  uint32_t readyAt = 0;

  bool AtEnd() const { return next >= chunks.size(); }
};

inline FakeOutput& Of(void* user) {
  return *static_cast<FakeOutput*>(user);
}

inline bool FakePeek(void* user, void*, uint32_t* available) {
  FakeOutput& f = Of(user);
  if (f.AtEnd()) {
    *available = 0;
    return f.hangAtEnd;
  }
  if (f.clock < f.readyAt) {
    *available = 0;
    return true;
  }
  if (f.silentLeft < 0) f.silentLeft = f.silentPolls;
  if (f.silentLeft > 0) {
    --f.silentLeft;
    *available = 0;
    return true;
  }
  *available = static_cast<uint32_t>(f.chunks[f.next].size() - f.offset);
  return true;
}

inline bool FakeRead(void* user, void*, char* into, uint32_t capacity, uint32_t* got) {
  FakeOutput& f = Of(user);
  ++f.reads;
  f.readCapacities.push_back(capacity);
  f.clock += f.readMilliseconds;
  if (f.AtEnd()) return false;
  const std::string& chunk = f.chunks[f.next];
  size_t n = std::min<size_t>(capacity, chunk.size() - f.offset);
  memcpy(into, chunk.data() + f.offset, n);
  f.offset += n;
  if (f.offset == chunk.size()) {
    ++f.next;
    f.offset = 0;
    f.silentLeft = -1;
    f.readyAt = f.clock + f.gapMilliseconds;
  }
  *got = static_cast<uint32_t>(n);
  return true;
}

inline void FakeClose(void* user, void*) {
  Of(user).closed = true;
}
inline uint8_t FakeEscapeState(void* user) {
  FakeOutput& f = Of(user);
  size_t query = static_cast<size_t>(f.polls++);
  if (static_cast<int>(query) == f.escapeAtPoll) return kEscapeDown | kEscapePressedSince;
  return query < f.escapeStates.size() ? f.escapeStates[query] : 0;
}
inline void FakePump(void* user, uint32_t milliseconds) {
  FakeOutput& f = Of(user);
  f.pumpShares.push_back(milliseconds);
  f.pumpedAt.push_back(f.clock);
  if (f.pumps++ == f.closeAtPump) f.context->closing = 1;
}
inline void FakeSleep(void* user, uint32_t milliseconds) {
  ++Of(user).sleeps;
  Of(user).waits.push_back(milliseconds);
  Of(user).clock += milliseconds;
}
inline uint32_t FakeNow(void* user) {
  return Of(user).clock;
}
inline void FakeTerminate(void* user, void*, void*) {
  Of(user).terminated = true;
}
inline void FakePrint(void* user, uint32_t codePage, const char* text) {
  FakeOutput& f = Of(user);
  if (static_cast<int>(f.printed.size()) == f.closeAtPrint) f.context->closing = 1;
  f.printed.push_back(text);
  f.printedCodePages.push_back(codePage);
}
// Each byte becomes one character of the same value: enough to see which bytes were taken.
inline Decoded FakeToWide(void*, uint32_t, wchar_t* out, size_t capacity, const char* text) {
  size_t n = 0;
  for (; text[n] != 0 && n + 1 < capacity; ++n) out[n] = static_cast<unsigned char>(text[n]);
  out[text[n] == 0 ? n : 0] = 0;
  return text[n] == 0 ? Decoded::kValid : Decoded::kTooLong;
}
inline bool FakeLookUp(void* user, const wchar_t* path, FileFacts* facts) {
  FakeOutput& f = Of(user);
  f.lookedUp.push_back(path);
  auto file = f.files.find(path);
  if (file == f.files.end()) return false;
  *facts = file->second;
  return true;
}

inline ReaderPlatform FakePlatform(FakeOutput& output) {
  return ReaderPlatform{
      .user = &output,
      .peek = FakePeek,
      .read = FakeRead,
      .closePipe = FakeClose,
      .escapeState = FakeEscapeState,
      .pumpMessages = FakePump,
      .sleep = FakeSleep,
      .now = FakeNow,
      .terminate = FakeTerminate,
      .print = FakePrint,
      .toWide = FakeToWide,
      .lookUp = FakeLookUp,
  };
}
