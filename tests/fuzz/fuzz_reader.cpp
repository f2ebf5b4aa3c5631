// Fuzzed output and fuzzed chunk boundaries, read as code page 932 or as UTF-8: the reader must
// list exactly what the plain model lists from the whole output, and never touch memory outside its
// buffer and the name field.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>

#include "search/reader.h"
#include "tests/native/fake_platform.h"
#include "tests/native/reader_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  bool echo = input.ConsumeBool();
  OutputEncoding encoding = input.ConsumeBool() ? Utf8Encoding() : Cp932Encoding();
  std::vector<size_t> sizes(1 + input.ConsumeIntegralInRange<size_t>(0, 15));
  for (size_t& s : sizes) s = input.ConsumeIntegralInRange<size_t>(1, 700);
  std::string output = input.ConsumeRemainingBytesAsString();

  FakeOutput fake;
  for (size_t at = 0, i = 0; at < output.size(); ++i) {
    size_t n = std::min(sizes[i % sizes.size()], output.size() - at);
    fake.chunks.push_back(output.substr(at, n));
    at += n;
  }
  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  context->outputRead = &fake;
  context->messageOutput = echo ? 1 : 0;
  context->encoding = encoding;
  ReaderPlatform platform = FakePlatform(fake);
  std::vector<std::string> entries;
  if (FillOutputBuffer(*context, platform) != Waited::kOutput) abort();
  auto record = std::make_unique<FindRecord>();
  for (;;) {
    Taken taken = TakeNextLine(*context, record.get(), platform);
    if (taken == Taken::kEnd) break;
    if (taken != Taken::kEntry) abort();
    std::string name;
    for (const wchar_t* c = record->name; *c != 0; ++c) name += static_cast<char>(*c);
    entries.push_back(name);
    if (entries.size() > output.size() + 1) abort();  // an entry needs at least two bytes
  }
  ModelListing model = ModelList(output, encoding.structure);
  if (entries != model.entries) abort();
  if (fake.printed != ModelPrinted(model, echo)) abort();
  return 0;
}
