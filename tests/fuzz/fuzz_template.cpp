// Fuzzed entry templates, base directories and entries: the expansion never writes past its field,
// never formats with an argument it was not given, rejects exactly the templates that a model of
// the rules rejects, and agrees with the platform's own formatter wherever the template is usable.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "plugin/entry.h"
#include "common/fixed_text.h"

namespace {

std::wstring Wide(const std::string& bytes) {
  static const wchar_t kCommon[] = L"%%%%dsSlD5:.\\\"/ x";
  std::wstring text;
  for (unsigned char b : bytes) {
    if (b >= 0xC0)
      text += kCommon[b % (sizeof(kCommon) / sizeof(wchar_t) - 1)];
    else if (b >= 0x80)
      text += static_cast<wchar_t>(0x3000 + b);
    else if (b != 0)
      text += static_cast<wchar_t>(b);
  }
  return text;
}

// The recognition rules written afresh, not taken from the product: the last two % signs (or the
// only one) are the placeholders, judged by the letter right after each; every other % must be
// half of a %% pair standing wholly before them.
TemplatePlan ModelPlan(const std::wstring& t) {
  const TemplatePlan unusable = {TemplateShape::kUnusable, 0, 0};
  std::vector<size_t> percents;
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i] == L'%') percents.push_back(i);
  if (percents.empty()) return unusable;
  size_t second = percents.back();
  size_t first = percents.size() > 1 ? percents[percents.size() - 2] : second;
  auto letter = [&](size_t at) { return at + 1 < t.size() ? t[at + 1] : L'\0'; };
  TemplatePlan plan = unusable;
  if (first == second && letter(second) == L's') plan = {TemplateShape::kPath, first, second};
  if (first != second && letter(first) == L'd' && letter(second) == L's')
    plan = {TemplateShape::kLineThenPath, first, second};
  if (first != second && letter(first) == L's' && letter(second) == L'd')
    plan = {TemplateShape::kPathThenLine, first, second};
  // The other % signs all stand before the placeholders; they must pair up as %%.
  size_t others = percents.size() > 1 ? percents.size() - 2 : 0;
  if (others % 2 != 0) return unusable;
  for (size_t k = 0; k < others; k += 2)
    if (percents[k + 1] != percents[k] + 1) return unusable;
  return plan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::wstring base = Wide(input.ConsumeRandomLengthString(300)).substr(0, 259);
  base += std::wstring(
      std::min<size_t>(259 - base.size(), input.ConsumeIntegralInRange<size_t>(0, 259)), L'b');
  std::wstring entry = Wide(input.ConsumeRandomLengthString(300));
  std::wstring entryTemplate = Wide(input.ConsumeRemainingBytesAsString()).substr(0, 291);

  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  CopyText(context->baseDirectory, base.c_str());
  wchar_t guarded[kEntryCommandCapacity + 16];
  wmemset(guarded, L'#', kEntryCommandCapacity + 16);
  auto& command = *reinterpret_cast<wchar_t(*)[kEntryCommandCapacity]>(guarded);
  EntryCommandOutcome outcome =
      BuildEntryCommand(*context, entry.c_str(), entryTemplate.c_str(), command);
  for (size_t i = kEntryCommandCapacity; i < kEntryCommandCapacity + 16; ++i)
    if (guarded[i] != L'#') abort();

  TemplatePlan plan = ModelPlan(entryTemplate);
  if (plan.shape == TemplateShape::kUnusable) {
    if (outcome != EntryCommandOutcome::kBadTemplate) abort();
    return 0;
  }
  if (entry.empty() || entry.size() - 1 >= 260) {
    if (outcome != EntryCommandOutcome::kBadEntry) abort();
    return 0;
  }
  // The line number follows the last colon, unless that is the drive's of "C:\" or "C:/"; a drive
  // path or a UNC name is opened as it stands.
  auto isDrive = [](const std::wstring& p) {
    return p.size() >= 3 && ((p[0] | 0x20) >= L'a' && (p[0] | 0x20) <= L'z') && p[1] == L':' &&
           (p[2] == L'\\' || p[2] == L'/');
  };
  auto isAbsolute = [&](const std::wstring& p) {
    return isDrive(p) || p.compare(0, 2, L"\\\\") == 0;
  };
  std::wstring name = entry.substr(1);
  size_t colon = name.rfind(L':');
  if (isDrive(name) && colon == 1) colon = std::wstring::npos;
  std::wstring file = colon == std::wstring::npos ? name : name.substr(0, colon);
  long parsed = colon == std::wstring::npos ? 0 : wcstol(name.c_str() + colon + 1, nullptr, 10);
  int32_t line = static_cast<int32_t>(std::max<long>(INT32_MIN, std::min<long>(INT32_MAX, parsed)));
  std::wstring path = (isAbsolute(name) ? L"" : base + L"\\") + file;
  std::wstring quoted = L"\"" + path + L"\"";

  // The platform's formatter, given exactly the arguments the template's shape names.
  std::wstring format;
  for (size_t i = 0; i < entryTemplate.size(); ++i) {
    format += entryTemplate[i];
    if ((i == plan.first || i == plan.second) && entryTemplate[i + 1] == L's') format += L'l';
  }
  std::wstring reference(4096, L'\0');
  int n = plan.shape == TemplateShape::kPath
              ? swprintf(&reference[0], reference.size(), format.c_str(), quoted.c_str())
          : plan.shape == TemplateShape::kLineThenPath
              ? swprintf(&reference[0], reference.size(), format.c_str(), line, quoted.c_str())
              : swprintf(&reference[0], reference.size(), format.c_str(), quoted.c_str(), line);
  if (n < 0) abort();
  reference.resize(static_cast<size_t>(n));
  // Past the system's limit only an absolute path is reached (through its long form).
  bool reachable = path.size() < kPathCapacity || isAbsolute(path);
  bool fits = reachable && reference.size() < kEntryCommandCapacity;
  if (!fits) {
    if (outcome != EntryCommandOutcome::kTooLong || command[0] != 0) abort();
    return 0;
  }
  if (outcome != EntryCommandOutcome::kBuilt || reference != command) abort();
  return 0;
}
