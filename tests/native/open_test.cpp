#include "plugin/open.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

namespace {

struct Opened {
  OpenOutcome outcome;
  std::unique_ptr<SearchContext> context = std::make_unique<SearchContext>();
  OpenResultRecord result;
};

Opened Open(const std::wstring& argument, const std::wstring& grep = L"findstr /N /I /P") {
  Opened o;
  memset(o.context.get(), 0, sizeof(SearchContext));
  memset(&o.result, 0xcc, sizeof(o.result));
  o.outcome = PrepareSearch(argument.c_str(), grep.c_str(), *o.context, o.result);
  return o;
}

TEST(OpenArgument, QuotedDirectoryThenWordsGivesTwoBlanks) {
  Opened o = Open(L"\"C:\\work\" foo");
  ASSERT_EQ(o.outcome, OpenOutcome::kOpened);
  EXPECT_STREQ(o.context->baseDirectory, L"C:\\work");
  EXPECT_STREQ(o.context->commandLine, L"findstr /N /I /P  foo");
}

TEST(OpenArgument, WithoutAQuotedDirectoryAndWordsNothingOpens) {
  const wchar_t* refused[] = {
      L"\"C:\\work\"",    L"C:\\work foo", L"",   L"\"\" foo", L"\"C:\\work foo",
      L"x \"C:\\w\" foo", L"  \"C:\\w\"",  L"\"",
  };
  for (const wchar_t* argument : refused)
    EXPECT_EQ(Open(argument).outcome, OpenOutcome::kNoSearchArguments) << argument;
  Opened o = Open(L"\"C:\\work\"");
  EXPECT_EQ(o.context->commandLine[0], 0);  // nothing written on failure
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&o.result)[0], 0xccu);
}

TEST(OpenArgument, QuotedPhrasesAndMasksReachTheCommandAsTyped) {
  Opened o = Open(L"\"C:\\work\" /C:\"int main\" \"my files\\*.c\"");
  ASSERT_EQ(o.outcome, OpenOutcome::kOpened);
  EXPECT_STREQ(o.context->baseDirectory, L"C:\\work");
  EXPECT_STREQ(o.context->commandLine, L"findstr /N /I /P  /C:\"int main\" \"my files\\*.c\"");
}

TEST(OpenArgument, BlanksBeforeTheDirectoryAreSkipped) {
  Opened o = Open(L" \t \"C:\\work\" foo");
  ASSERT_EQ(o.outcome, OpenOutcome::kOpened);
  EXPECT_STREQ(o.context->baseDirectory, L"C:\\work");
  EXPECT_STREQ(o.context->commandLine, L"findstr /N /I /P  foo");
}

TEST(OpenArgument, WordsDirectlyAfterTheQuoteAndBlanksAlone) {
  EXPECT_STREQ(Open(L"\"C:\\work\"foo").context->commandLine, L"findstr /N /I /P foo");
  Opened blanks = Open(L"\"C:\\work\"   ");
  ASSERT_EQ(blanks.outcome, OpenOutcome::kOpened);
  EXPECT_STREQ(blanks.context->commandLine, L"findstr /N /I /P    ");
}

TEST(OpenArgument, EmptyGrepCommandLeavesABlankFirst) {
  EXPECT_STREQ(Open(L"\"d\" foo", L"").context->commandLine, L"  foo");
}

TEST(OpenLimits, CommandAndArgumentsMustStayBelow8192) {
  std::wstring grep(8000, L'g');
  std::wstring fits = L"\"d\"" + std::wstring(191, L'a');
  Opened ok = Open(fits, grep);
  ASSERT_EQ(ok.outcome, OpenOutcome::kOpened);
  EXPECT_EQ(std::wcslen(ok.context->commandLine), 8192u);
  EXPECT_EQ(Open(L"\"d\"" + std::wstring(192, L'a'), grep).outcome,
            OpenOutcome::kCommandLineTooLong);
  EXPECT_EQ(Open(L"\"d\"a", std::wstring(8190, L'g')).outcome, OpenOutcome::kOpened);
  EXPECT_EQ(Open(L"\"d\"a", std::wstring(8191, L'g')).outcome, OpenOutcome::kCommandLineTooLong);
}

TEST(OpenLimits, ArgumentIsCutAt8191Characters) {
  // 3 characters of directory, then 8188 of words fit; the 8189th is cut off.
  std::wstring argument = L"\"d\"" + std::wstring(8188, L'a') + L"bbbb";
  Opened o = Open(argument, L"");
  ASSERT_EQ(o.outcome, OpenOutcome::kOpened);
  EXPECT_EQ(std::wstring(o.context->commandLine), L" " + std::wstring(8188, L'a'));
}

TEST(OpenLimits, BaseDirectoryKeeps259CharactersAndTheHostFieldTakes260) {
  std::wstring directory(300, L'd');
  Opened o = Open(L"\"" + directory + L"\" foo");
  ASSERT_EQ(o.outcome, OpenOutcome::kOpened);
  EXPECT_EQ(std::wstring(o.context->baseDirectory), directory.substr(0, 259));
  EXPECT_EQ(std::wstring(o.result.directory, 260), directory.substr(0, 260));
  EXPECT_STREQ(o.result.root, L"/");  // the next field follows the unterminated one
}

TEST(OpenResult, FieldsAreFilledAsTheHostExpects) {
  Opened o = Open(L"\"C:\\work\" foo");
  EXPECT_STREQ(o.result.directory, L"C:\\work");
  for (size_t i = 7; i < 260; ++i) ASSERT_EQ(o.result.directory[i], 0) << i;
  EXPECT_STREQ(o.result.root, L"/");
  // Past "/" and its terminator the field is not touched.
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&o.result.root[2])[0], 0xccu);
  EXPECT_EQ(std::wstring(o.result.title, 8), std::wstring(L"grep \u7d50\u679c\0", 8));
}

}  // namespace
