#include "plugin/entry.h"

#include <algorithm>
#include <cwchar>

#include "common/file_line.h"
#include "common/fixed_text.h"
#include "common/real_path.h"

namespace {

constexpr size_t kNone = SIZE_MAX;

// The line number as _wtoi reads it (blanks, a sign, digits; 0 without digits), kept within the
// 32 bits of %d whatever the size of long.
int32_t LineNumberOf(const wchar_t* text) {
  long value = wcstol(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

// Every % other than the placeholders must be half of a %% pair lying wholly before them: any
// other conversion would have been formatted with no argument behind it.
bool OnlyLiteralPairsBefore(const wchar_t* t, const TemplatePlan& plan) {
  for (size_t i = 0; i < plan.first; ++i) {
    if (t[i] != L'%') continue;
    if (t[i + 1] != L'%' || i + 1 >= plan.first) return false;
    ++i;
  }
  return true;
}

}  // namespace

TemplatePlan RecognizeTemplate(const wchar_t* t) {
  size_t second = kNone, first = kNone;
  for (size_t i = 0; t[i] != 0; ++i) {
    if (t[i] != L'%') continue;
    first = second;
    second = i;
  }
  if (second == kNone) return {TemplateShape::kUnusable, 0, 0};
  wchar_t last = t[second + 1];
  if (first == kNone) {
    if (last == L's') return {TemplateShape::kPath, second, second};
    return {TemplateShape::kUnusable, 0, 0};
  }
  wchar_t before = t[first + 1];
  if (before == L'd' && last == L's') return {TemplateShape::kLineThenPath, first, second};
  if (before == L's' && last == L'd') return {TemplateShape::kPathThenLine, first, second};
  return {TemplateShape::kUnusable, 0, 0};
}

EntryCommandOutcome BuildEntryCommand(const SearchContext& context, const wchar_t* entryPath,
                                      const wchar_t* entryTemplate,
                                      wchar_t (&command)[kEntryCommandCapacity]) {
  command[0] = 0;
  TemplatePlan plan = RecognizeTemplate(entryTemplate);
  if (plan.shape == TemplateShape::kUnusable || !OnlyLiteralPairsBefore(entryTemplate, plan))
    return EntryCommandOutcome::kBadTemplate;
  if (entryPath == nullptr || entryPath[0] == 0) return EntryCommandOutcome::kBadEntry;

  // The host passes the listing's root "/" before the EntryName; the line number follows the
  // last colon, so a drive letter's colon stays in the file part.
  const wchar_t* entry = entryPath + 1;
  size_t entryLength = wcslen(entry);
  if (entryLength >= kPathCapacity) return EntryCommandOutcome::kBadEntry;
  size_t colon = LastColon(entry, entryLength);
  int32_t line = colon < entryLength ? LineNumberOf(entry + colon + 1) : 0;

  // The entry's 259 characters and the BaseDirectory's 259 always fit.
  wchar_t path[kRealPathCapacity];
  FieldWriter p = StartField(path);
  PutRealPath(p, context.baseDirectory, entry, colon);
  if (!IsReachable(path)) return EntryCommandOutcome::kTooLong;

  FieldWriter out = StartField(command);
  for (size_t i = 0; entryTemplate[i] != 0; ++i) {
    wchar_t c = entryTemplate[i];
    if (i == plan.first || i == plan.second) {
      if (entryTemplate[i + 1] == L's') {
        PutChar(out, L'"');
        PutText(out, path);
        PutChar(out, L'"');
      } else {
        PutDecimal(out, line);
      }
      ++i;  // the placeholder's letter
    } else if (c == L'%') {
      PutChar(out, L'%');  // a %% pair gives one percent sign
      ++i;
    } else {
      PutChar(out, c);
    }
  }
  if (out.overflow) {
    command[0] = 0;
    return EntryCommandOutcome::kTooLong;
  }
  return EntryCommandOutcome::kBuilt;
}

bool FillRealPath(const SearchContext& context, const wchar_t* entryName, wchar_t* destination,
                  size_t capacity) {
  wchar_t path[kRealPathCapacity];
  bool fits = entryName != nullptr && wcslen(entryName) < kPathCapacity &&
              FormRealPath(context.baseDirectory, entryName, path) && IsReachable(path);
  FillField(destination, capacity, fits ? path : L"");
  return fits;
}
