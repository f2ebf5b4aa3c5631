// The cost of the line cutting itself, natively: 200,000 mixed lines served in 256-byte chunks
// with nothing to wait for, as code page 932 or (with `utf8`) the same text in UTF-8. Run it under
// `valgrind --tool=callgrind --toggle-collect=ListAll` for instructions per entry, or plainly for
// entries per second.
//   bench_reader [LINES] [utf8]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "search/reader.h"
#include "testkit/mixed_output.h"
#include "testkit/recode.h"

namespace {

struct Chunks {
  const std::string* output;
  size_t at = 0;
};

bool Peek(void* user, void*, uint32_t* available) {
  auto* c = static_cast<Chunks*>(user);
  *available = static_cast<uint32_t>(c->output->size() - c->at);
  return c->at < c->output->size();
}
bool Read(void* user, void*, char* into, uint32_t capacity, uint32_t* got) {
  auto* c = static_cast<Chunks*>(user);
  size_t n = std::min<size_t>(capacity, c->output->size() - c->at);
  if (n == 0) return false;
  memcpy(into, c->output->data() + c->at, n);
  c->at += n;
  *got = static_cast<uint32_t>(n);
  return true;
}
void Close(void*, void*) {}
uint8_t NoEscape(void*) {
  return 0;
}
uint32_t Never(void*) {
  return 0;
}
void NoSleep(void*, uint32_t) {}
void NoPump(void*, uint32_t) {}
void NoTerminate(void*, void*, void*) {}
void NoPrint(void*, uint32_t, const char*) {}
Decoded Widen(void*, uint32_t, wchar_t* out, size_t capacity, const char* text) {
  size_t n = 0;
  for (; text[n] != 0 && n + 1 < capacity; ++n) out[n] = static_cast<unsigned char>(text[n]);
  out[n] = 0;
  return text[n] == 0 ? Decoded::kValid : Decoded::kTooLong;
}
// Every file exists, as after a real search.
bool Exists(void*, const wchar_t*, FileFacts* facts) {
  *facts = {1, 0, 2, 3, 0x20};
  return true;
}

}  // namespace

extern "C" __attribute__((noinline)) long ListAll(SearchContext* context, FindRecord* record,
                                                  const ReaderPlatform* platform) {
  long entries = 0;
  if (FillOutputBuffer(*context, *platform) != Waited::kOutput) return 0;
  while (TakeNextLine(*context, record, *platform) == Taken::kEntry) ++entries;
  return entries;
}

int main(int argc, char** argv) {
  int lines = argc > 1 ? atoi(argv[1]) : 200000;
  bool utf8 = argc > 2 && strcmp(argv[2], "utf8") == 0;  // else code page 932
  std::string output = MixedOutput(lines);
  if (utf8) output = Cp932ToUtf8(output);
  Chunks chunks{&output};
  ReaderPlatform platform = {
      .user = &chunks,
      .peek = Peek,
      .read = Read,
      .closePipe = Close,
      .escapeState = NoEscape,
      .pumpMessages = NoPump,
      .sleep = NoSleep,
      .now = Never,
      .terminate = NoTerminate,
      .print = NoPrint,
      .toWide = Widen,
      .lookUp = Exists,
  };
  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  context->outputRead = &chunks;
  context->encoding = utf8 ? Utf8Encoding() : Cp932Encoding();
  FindRecord record;
  auto start = std::chrono::steady_clock::now();
  long entries = ListAll(context.get(), &record, &platform);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld entries from %zu bytes in %.3f s: %.0f entries/s\n", entries, output.size(),
              seconds, entries / seconds);
  return entries == lines ? 0 : 1;
}
