#include "search/reader.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <memory>
#include <random>

#include "host/texts.h"
#include "tests/native/fake_platform.h"
#include "tests/native/reader_model.h"
#include "testkit/recode.h"

namespace {

std::string Narrow(const wchar_t* name) {
  std::string out;
  for (; *name != 0; ++name) out += static_cast<char>(*name);
  return out;
}

struct Listing {
  std::vector<std::string> entries;
  std::vector<std::wstring> names;  // the entries as the conversion gave them
  std::vector<FileFacts> files;     // the facts each entry carries
  std::vector<std::string> printed;
  Taken last = Taken::kEntry;  // what ended the listing
};

struct ListOptions {
  bool echo = false;
  OutputEncoding encoding = Cp932Encoding();
  decltype(ReaderPlatform::toWide) toWide = FakeToWide;
  const wchar_t* baseDirectory = L"";
};

// Lists the output as ApiFindFirst and ApiFindNext would: one wait, then lines until -1.
Listing List(FakeOutput& output, const ListOptions& options = {}) {
  auto context = std::make_unique<SearchContext>();
  context->outputRead = &output;  // any non-null handle: the fake ignores it
  context->process = &output;
  context->messageOutput = options.echo ? 1 : 0;
  context->encoding = options.encoding;
  wcscpy(context->baseDirectory, options.baseDirectory);
  ReaderPlatform platform = FakePlatform(output);
  platform.toWide = options.toWide;
  Listing listing;
  Waited waited = FillOutputBuffer(*context, platform);
  FindRecord record;
  for (;;) {
    if (waited != Waited::kOutput) {
      listing.last = waited == Waited::kEscape ? Taken::kEscape : Taken::kClosed;
      break;
    }
    memset(&record, 0xcc, sizeof(record));
    listing.last = TakeNextLine(*context, &record, platform);
    if (listing.last != Taken::kEntry) break;
    listing.entries.push_back(Narrow(record.name));
    listing.names.push_back(record.name);
    listing.files.push_back({record.sizeLow, record.sizeHigh, record.writeTimeLow,
                             record.writeTimeHigh, record.attributes});
  }
  listing.printed = output.printed;
  return listing;
}

Listing ListInChunks(const std::string& text, const std::vector<size_t>& sizes,
                     const ListOptions& options = {}) {
  FakeOutput output;
  size_t at = 0;
  for (size_t i = 0; at < text.size(); ++i) {
    size_t n = std::min(sizes[i % sizes.size()], text.size() - at);
    output.chunks.push_back(text.substr(at, n));
    at += n;
  }
  return List(output, options);
}

Listing ListWhole(const std::string& text, const ListOptions& options = {}) {
  return ListInChunks(text, {text.size() > 0 ? text.size() : 1}, options);
}

const ListOptions kEcho = {true};

using Entries = std::vector<std::string>;

TEST(ReaderLines, CutsEachLineAtItsSecondColon) {
  Listing l = ListWhole("src\\a.c:12:int x;\r\nb.h:3:y:z\n");
  EXPECT_EQ(l.entries, (Entries{"src\\a.c:12", "b.h:3"}));
  EXPECT_EQ(l.last, Taken::kEnd);
}

TEST(ReaderLines, LineFeedAloneEndsALineLikeCarriageReturnLineFeed) {
  EXPECT_EQ(ListWhole("a:1:x\nb:2:y\r\n", kEcho).printed,
            (std::vector<std::string>{"a:1:x", "b:2:y"}));
}

TEST(ReaderLines, LastLineWithoutLineFeedIsAnEntryThenTheListingEnds) {
  Listing l = ListWhole("a:1:x\r\nlast.txt:9:tail");
  EXPECT_EQ(l.entries, (Entries{"a:1", "last.txt:9"}));
  EXPECT_EQ(l.last, Taken::kEnd);
}

// What grep-like tools print among their results: a notice about a binary file (one colon), an
// empty line, a context separator, an error with one colon.
TEST(ReaderLines, LinesThatNameNoEntryAreEchoedAndPassedOver) {
  const std::string notice =
      "edge\\nul\\binary.bin: binary file matches (found \"\\0\" byte around offset 14)";
  Listing l =
      ListWhole("a:1:x\n" + notice + "\r\n\nb:2:y\n--\r\nFINDSTR: cannot open q\nc:3:z\n", kEcho);
  EXPECT_EQ(l.entries, (Entries{"a:1", "b:2", "c:3"}));
  EXPECT_EQ(l.printed, (std::vector<std::string>{"a:1:x", notice, "", "b:2:y", "--",
                                                 "FINDSTR: cannot open q", "c:3:z"}));
  EXPECT_EQ(l.last, Taken::kEnd);
  // In any chunking, also with each line in a write of its own after a pause.
  for (size_t size : {1, 2, 5, 64}) {
    EXPECT_EQ(ListInChunks("\n--\nx\ny:1:z\n\n", {size}).entries, (Entries{"y:1"})) << size;
  }
}

// Only a line number between the file part and the second colon makes an entry: a tool's error
// ("rg: *.h: ...") or a match printed without its line number has other text there.
TEST(ReaderLines, OnlyALineNumberBeforeTheSecondColonMakesAnEntry) {
  Listing l = ListWhole(
      "rg: *.h: IO error (os error 123)\r\n"
      ".\\inc\\keyboard.h:#define K_PCOMMA K(KT_PAD,16):x\r\n"
      "a.c::empty\na.c:1a:x\na.c: 12:x\na.c:-1:x\na.c:+1:x\n"
      "a.c:12:x\na.c:007:x\nC:\\w\\a.c:9:x\n",
      kEcho);
  EXPECT_EQ(l.entries, (Entries{"a.c:12", "a.c:007", "C:\\w\\a.c:9"}));
  EXPECT_EQ(l.printed.size(), 10u);  // every line echoed, and nothing more: there are entries
}

TEST(ReaderLines, OutputOfNoEntryAtAllEndsOnceAtItsEnd) {
  FakeOutput output;
  output.chunks = {"no colon here\n", "--\n", "\n", "one: colon"};
  output.silentPolls = 2;
  auto context = std::make_unique<SearchContext>();
  context->outputRead = &output;
  context->encoding = Cp932Encoding();
  context->messageOutput = 1;
  ReaderPlatform platform = FakePlatform(output);
  FindRecord record;
  ASSERT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
  EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kEnd);
  EXPECT_TRUE(output.closed);  // the end came from the output, not from the first line
  EXPECT_EQ(output.printed,
            (std::vector<std::string>{"no colon here", "--", "", "one: colon", kNoEntryMessage}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kEnd);
  EXPECT_EQ(output.printed.size(), 5u);  // nothing is taken or said twice
}

TEST(ReaderLines, NoOutputAtAllEndsAtOnce) {
  FakeOutput output;
  Listing l = List(output, kEcho);
  EXPECT_TRUE(l.entries.empty());
  EXPECT_EQ(l.last, Taken::kEnd);
  EXPECT_TRUE(l.printed.empty());
  EXPECT_TRUE(output.closed);
}

TEST(ReaderLines, LongLineGivesOneEntryFromItsStartAndTheNextLineFollows) {
  std::string longText(2000, 'x');
  Listing l = ListWhole("long.txt:7:" + longText + "\r\nnext.txt:8:y\r\n", kEcho);
  EXPECT_EQ(l.entries, (Entries{"long.txt:7", "next.txt:8"}));
  ASSERT_EQ(l.printed.size(), 2u);
  EXPECT_EQ(l.printed[0].size(), 512u);  // the echo is the buffered fragment
}

// A cut name would be another file's: such a line is no entry, and no cut name stays behind.
TEST(ReaderLines, NameLongerThanTheFieldIsPassedOverWhole) {
  std::string fits = std::string(257, 'n') + ":1";  // 259 characters
  std::string longer = std::string(258, 'n') + ":1";
  Listing l = ListWhole(longer + ":text\n" + fits + ":text\n" + longer + "0:x\r\nb:2:c\n", kEcho);
  EXPECT_EQ(l.entries, (Entries{fits, "b:2"}));
  EXPECT_EQ(l.printed.size(), 4u);
  FakeOutput output;
  output.chunks = {longer + ":text\n"};
  auto context = std::make_unique<SearchContext>();
  context->outputRead = &output;
  context->encoding = Cp932Encoding();
  ReaderPlatform platform = FakePlatform(output);
  FindRecord record;
  memset(&record, 0xcc, sizeof(record));
  ASSERT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
  EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kEnd);
  EXPECT_EQ(record.name[0], 0);
}

// The second colon lies past the 512 bytes that are buffered of the line: what is buffered names
// no entry, and the rest of the line is dropped up to its line feed.
TEST(ReaderLines, SecondColonBeyondTheBufferPassesTheLineOver) {
  std::string deep = ".\\edge\\deep\\" + std::string(700, 'd') + "\\f.txt";
  std::string oneColonIn = "a:" + std::string(600, 'd');
  Listing l =
      ListWhole(deep + ":1:x\r\nb:2:y\n" + oneColonIn + ":3:z\nc:4:w\n" + deep + ":5:v", kEcho);
  EXPECT_EQ(l.entries, (Entries{"b:2", "c:4"}));
  ASSERT_EQ(l.printed.size(), 5u);
  EXPECT_EQ(l.printed[0], deep.substr(0, 512));  // echoed as read
  EXPECT_EQ(l.printed[2], oneColonIn.substr(0, 512));
}

TEST(ReaderLines, ZeroByteLosesNothingAfterIt) {
  Listing l = ListWhole(std::string("a:1:x\0y\nb:2:z\n", 14), kEcho);
  EXPECT_EQ(l.entries, (Entries{"a:1", "b:2"}));
  EXPECT_EQ(l.printed[0], "a:1:x y");
}

TEST(ReaderLines, ZeroByteInTheNameBecomesABlank) {
  Listing l = ListWhole(std::string("a\0b:1:x\n", 8));
  EXPECT_EQ(l.entries, (Entries{"a b:1"}));
}

// The same output must list the same whatever the child's writes and the pipe's chunks.
// A listing that ends without an entry although the search printed lines says why, whatever
// message output says, and shows what the search printed unless message output showed it.
TEST(ReaderNoEntry, EndWithoutAnEntrySaysWhyAndShowsWhatTheSearchPrinted) {
  const std::string error = "rg: *.h: IO error (os error 123)", text = "x.h:no number:y";
  Listing quiet = ListWhole(error + "\r\n" + text + "\n");
  EXPECT_EQ(quiet.last, Taken::kEnd);
  EXPECT_EQ(quiet.printed, (std::vector<std::string>{kNoEntryMessage, error, text}));
  Listing echoed = ListWhole(error + "\r\n" + text + "\n", kEcho);
  EXPECT_EQ(echoed.printed, (std::vector<std::string>{error, text, kNoEntryMessage}));
}

TEST(ReaderNoEntry, ShowsAScreenfulOfLinesThenHowManyMore) {
  std::string output;
  for (int i = 0; i < 25; ++i) output += "error " + std::to_string(i) + "\r\n";
  Listing l = ListInChunks(output, {7});
  ASSERT_EQ(l.printed.size(), 12u);
  EXPECT_EQ(l.printed[1], "error 0");
  EXPECT_EQ(l.printed[10], "error 9");
  EXPECT_EQ(Cp932ToUtf8(l.printed[11]), "\uff08\u307b\u304b 15 \u884c\uff09");  // （ほか 15 行）
}

TEST(ReaderNoEntry, AnEntryNoOutputOrEscapeAddsNothing) {
  EXPECT_TRUE(ListWhole("rg: nosuchdir: not found\r\na.c:1:x\nrg: other\n").printed.empty());
  EXPECT_TRUE(ListWhole("").printed.empty());
  FakeOutput output;
  output.chunks = {"rg: error\n"};
  output.hangAtEnd = true;
  output.escapeAtPoll = 0;
  EXPECT_EQ(List(output).printed, (std::vector<std::string>{kInterruptedMessage}));
}

TEST(ReaderChunking, EveryChunkingListsTheSame) {
  std::string text;
  text += "src\\a.c:12:int x;\r\n";
  text += "b.h:3:" + std::string(700, 'q') + "\r\n";  // longer than the buffer
  text += "\x83\x65\x83\x58\x83\x67.txt:4:\x93\xfa\x96\x7b\xe9\xea\r\n";
  text += "c.txt:5:" + std::string(505, 'r') + "\n";  // ends right around the buffer's end
  text += "d.txt:6:" + std::string(250, '\x81') + "\n";
  text += "binary.bin: binary file matches\r\n\n--\n";     // no entries among them
  text += std::string(300, 'n') + ":1:name too long\r\n";  // nor here
  text += std::string(600, 'p') + ":2:second colon past the buffer\n";
  text += "e.txt:77777:tail without line feed";
  Listing reference = ListWhole(text, kEcho);
  ASSERT_EQ(reference.entries.size(), 6u);
  ASSERT_EQ(reference.printed.size(), 11u);
  for (size_t size = 1; size <= 300; ++size) {
    Listing l = ListInChunks(text, {size}, kEcho);
    ASSERT_EQ(l.entries, reference.entries) << "chunks of " << size;
    ASSERT_EQ(l.printed, reference.printed) << "chunks of " << size;
  }
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<size_t> sizes;
    for (int i = 0; i < 16; ++i) sizes.push_back(1 + random() % 600);
    Listing l = ListInChunks(text, sizes, kEcho);
    ASSERT_EQ(l.entries, reference.entries) << "round " << round;
    ASSERT_EQ(l.printed, reference.printed) << "round " << round;
  }
}

TEST(ReaderChunking, LineWhoseEndHasNotArrivedIsWaitedFor) {
  // Only the part before the second colon is there when the line is taken.
  FakeOutput output;
  output.chunks = {"a.txt:1", ":text\r\n", "b.txt:2:more\r\n"};
  output.silentPolls = 3;
  Listing l = List(output);
  EXPECT_EQ(l.entries, (Entries{"a.txt:1", "b.txt:2"}));
  EXPECT_GT(output.sleeps, 0);
}

TEST(ReaderWait, ReadsAtMost256BytesAndNeverPastTheBuffer) {
  FakeOutput output;
  output.chunks = {std::string(100, 'a') + ":1:" + std::string(2000, 'b') + "\n" + "c:2:d\n"};
  List(output);
  for (uint32_t capacity : output.readCapacities) EXPECT_LE(capacity, kChunkSize);
  EXPECT_EQ(output.readCapacities.back(), kChunkSize);
}

TEST(ReaderWait, PollsPumpsAndSleepsWhileTheChildIsSilent) {
  FakeOutput output;
  output.chunks = {"a:1:x\n"};
  output.silentPolls = 5;
  Listing l = List(output);
  EXPECT_EQ(l.entries, (Entries{"a:1"}));
  EXPECT_EQ(output.waits.size(), 5u);
  EXPECT_EQ(output.pumps, 5);
  EXPECT_EQ(output.polls, 5);  // each wait looks at Escape too
}

// The waits start short, so a search printing in bursts is read at its own pace, and grow while
// the child stays silent: after a while an idle search costs one peek, one key query, one pass
// over the queue and one wait of the poll interval per poll.
TEST(ReaderWait, WaitsGrowToThePollIntervalWhileTheChildStaysSilent) {
  FakeOutput output;
  output.chunks = {"a:1:x\n"};
  output.silentPolls = 40;
  List(output);
  ASSERT_EQ(output.waits.size(), 40u);
  EXPECT_LE(output.waits.front(), 2u);
  uint32_t silence = 0;
  for (size_t i = 0; i < output.waits.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(output.waits[i], output.waits[i - 1]) << i;
    }
    EXPECT_LE(output.waits[i], kPollInterval) << i;
    if (silence >= 200) {
      EXPECT_EQ(output.waits[i], kPollInterval) << "after " << silence << " ms";
    }
    silence += output.waits[i];
  }
  // Every wait pumps and looks at Escape; so does the read that ends a long one.
  EXPECT_EQ(output.pumps, 41);
  EXPECT_EQ(output.polls, output.pumps);
}

// A search prints one file's matches at a time with short gaps between. The reader must not
// sleep through the next burst: after each read that got data the waits start short again.
TEST(ReaderWait, BurstsWithShortGapsAreNotSleptThrough) {
  FakeOutput output;
  for (int burst = 0; burst < 30; ++burst) {
    std::string lines;
    for (int i = 0; i < 20; ++i)
      lines += "f" + std::to_string(burst) + ".c:" + std::to_string(i) + ":x\r\n";
    output.chunks.push_back(lines);
  }
  output.gapMilliseconds = 6;  // a gap after every burst
  Listing l = List(output);
  EXPECT_EQ(l.entries.size(), 600u);
  EXPECT_EQ(output.sleeps, 29 * 3);
  uint32_t asleep = 0;
  for (uint32_t wait : output.waits) {
    EXPECT_LE(wait, 4u);
    asleep += wait;
  }
  EXPECT_EQ(asleep, 29u * (1 + 2 + 4));  // a fixed 100 ms poll would have slept 2,900 ms
}

TEST(ReaderWait, EscapeWhileSilentAbortsAndTerminatesTheChild) {
  FakeOutput output;
  output.hangAtEnd = true;
  output.escapeAtPoll = 3;
  Listing l = List(output);
  EXPECT_EQ(l.last, Taken::kEscape);
  EXPECT_TRUE(output.terminated);
  EXPECT_FALSE(output.closed);  // the handles stay as they are
  ASSERT_EQ(output.printed.size(), 1u);
  EXPECT_EQ(output.printed[0], kInterruptedMessage);  // whatever the echo switch says
}

// An entry is handed over as soon as it is cut: the wait for more output, and the Escape pressed
// during it, come with the next call, and take back nothing that was cut.
TEST(ReaderWait, EscapeDuringASilenceKeepsTheEntriesAlreadyCut) {
  FakeOutput output;
  output.chunks = {"a:1:x\n", "b:2:y\n"};
  output.hangAtEnd = true;
  output.escapeAtPoll = 0;  // the first poll happens only once the output has gone silent
  Listing l = List(output, kEcho);
  EXPECT_EQ(l.entries, (Entries{"a:1", "b:2"}));
  EXPECT_EQ(l.printed, (std::vector<std::string>{"a:1:x", "b:2:y", kInterruptedMessage}));
  EXPECT_EQ(l.last, Taken::kEscape);
  EXPECT_TRUE(output.terminated);
}

// Returning an entry never waits for output: a silence after it, however long, is waited through
// by the next call.
TEST(ReaderWait, EntryIsHandedOverWithoutWaitingForMoreOutput) {
  FakeOutput output;
  output.chunks = {"a:1:x\n", "b:2:y\n"};
  output.gapMilliseconds = 6000;
  auto context = std::make_unique<SearchContext>();
  context->outputRead = &output;
  ReaderPlatform platform = FakePlatform(output);
  FindRecord record;
  ASSERT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
  ASSERT_EQ(TakeNextLine(*context, &record, platform), Taken::kEntry);
  EXPECT_EQ(Narrow(record.name), "a:1");
  EXPECT_EQ(output.clock, 0u);
  EXPECT_EQ(output.sleeps, 0);
  ASSERT_EQ(TakeNextLine(*context, &record, platform), Taken::kEntry);
  EXPECT_EQ(Narrow(record.name), "b:2");
  EXPECT_GE(output.clock, 6000u);
}

// The rest of an overlong line is dropped by the next call, after its entry has been handed over.
TEST(ReaderWait, RestOfALongLineIsDroppedAfterItsEntryIsHandedOver) {
  FakeOutput output;
  output.chunks = {"long.txt:7:" + std::string(600, 'x'), std::string(300, 'y') + "\nnext.txt:8:z\n"};
  output.gapMilliseconds = 500;
  output.escapeAtPoll = 0;
  Listing l = List(output, kEcho);
  EXPECT_EQ(l.entries, (Entries{"long.txt:7"}));  // Escape came while its rest was awaited
  EXPECT_EQ(l.last, Taken::kEscape);
  FakeOutput quiet;
  quiet.chunks = output.chunks;
  quiet.gapMilliseconds = 500;
  EXPECT_EQ(List(quiet).entries, (Entries{"long.txt:7", "next.txt:8"}));
}

// A search printing without pause keeps the pipe full: it never runs dry, and the host must still
// be served and Escape seen.
FakeOutput FullPipe(int chunks) {
  FakeOutput output;
  for (int i = 0; i < chunks; ++i) output.chunks.push_back(std::string(20, 'a') + ":1:x\n");
  output.silentPolls = 0;
  output.readMilliseconds = 3;
  return output;
}

TEST(ReaderWatch, APipeKeptFullIsStillPumpedEveryInterval) {
  FakeOutput output = FullPipe(400);
  Listing l = List(output);
  EXPECT_EQ(l.entries.size(), 400u);
  EXPECT_EQ(output.sleeps, 0);
  ASSERT_GT(output.pumpedAt.size(), 10u);
  uint32_t longest = output.pumpedAt[0];
  for (size_t i = 1; i < output.pumpedAt.size(); ++i)
    longest = std::max(longest, output.pumpedAt[i] - output.pumpedAt[i - 1]);
  // One read may pass the interval before the clock is looked at.
  EXPECT_LE(longest, kWatchInterval + output.readMilliseconds);
  EXPECT_EQ(output.polls, output.pumps);  // Escape is looked at with every pump
}

TEST(ReaderWatch, EscapeStopsASearchThatKeepsThePipeFull) {
  FakeOutput output = FullPipe(400);
  output.escapeAtPoll = 5;
  Listing l = List(output, kEcho);
  EXPECT_EQ(l.last, Taken::kEscape);
  EXPECT_TRUE(output.terminated);
  EXPECT_LT(l.entries.size(), 60u);  // five intervals of 25 ms, at 3 ms a line
  EXPECT_EQ(l.printed.back(), kInterruptedMessage);
}

TEST(ReaderWatch, OnlyAPressDuringTheListingStopsIt) {
  FakeOutput before;  // pressed before the listing: its start takes the press away
  before.chunks = {"a:1:x\n", "b:2:y\n"};
  before.silentPolls = 3;
  before.escapeStates = {kEscapePressedSince};
  auto context = std::make_unique<SearchContext>();
  context->outputRead = &before;
  ReaderPlatform platform = FakePlatform(before);
  StartListing(*context, platform);
  EXPECT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
  FakeOutput held;  // held down from before: it counts once released and pressed again
  held.chunks = {"a:1:x\n"};
  held.hangAtEnd = true;
  held.escapeStates = {kEscapeDown, kEscapeDown, kEscapeDown | kEscapePressedSince, 0, kEscapeDown};
  context = std::make_unique<SearchContext>();
  context->outputRead = &held;
  platform = FakePlatform(held);
  StartListing(*context, platform);
  ASSERT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
  FindRecord record;
  EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kEntry);   // a:1, handed over
  EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kEscape);  // in the wait after it
  EXPECT_EQ(held.polls, 5);  // the start's query, two while still held, one released, the press
}

// The host may close the listing from a message that a pump, or a print's call, dispatched: the
// reader stops there and reads nothing more.
TEST(ReaderWatch, ListingClosedFromADispatchedMessageStopsAtOnce) {
  for (bool duringPrint : {false, true}) {
    FakeOutput output = FullPipe(400);
    auto context = std::make_unique<SearchContext>();
    output.context = context.get();
    (duringPrint ? output.closeAtPrint : output.closeAtPump) = 2;
    context->outputRead = &output;
    context->messageOutput = 1;
    ReaderPlatform platform = FakePlatform(output);
    ASSERT_EQ(FillOutputBuffer(*context, platform), Waited::kOutput);
    FindRecord record;
    Taken taken = Taken::kEntry;
    int entries = 0;
    while ((taken = TakeNextLine(*context, &record, platform)) == Taken::kEntry) ++entries;
    EXPECT_EQ(taken, Taken::kClosed) << duringPrint;
    int reads = output.reads;
    EXPECT_EQ(TakeNextLine(*context, &record, platform), Taken::kClosed) << duringPrint;
    EXPECT_LE(output.reads, reads + 1) << duringPrint;
    EXPECT_FALSE(output.terminated);  // ApiClose ends the child
    if (duringPrint) {
      EXPECT_EQ(entries, 2);  // the third line's echo dispatched the close
    }
  }
}

TEST(ReaderLeadBytes, IsLeadByteAtCountsRunsOfLeadValues) {
  const char text[] =
      "a\x81\x81\x81"
      "b\x82";
  const OutputEncoding cp932 = Cp932Encoding();
  EXPECT_FALSE(IsLeadByteAt(cp932, text, text + 0));
  EXPECT_TRUE(IsLeadByteAt(cp932, text, text + 1));
  EXPECT_FALSE(IsLeadByteAt(cp932, text, text + 2));
  EXPECT_TRUE(IsLeadByteAt(cp932, text, text + 3));
  EXPECT_FALSE(IsLeadByteAt(cp932, text, text + 4));
  EXPECT_TRUE(IsLeadByteAt(cp932, text, text + 5));
}

TEST(ReaderLeadBytes, HalfCharacterAtTheBufferEndIsNotEchoed) {
  // 511 bytes, then the first byte of a double-byte character at offset 511.
  std::string start = "f.txt:1:" + std::string(503, 'a');
  Listing cut = ListWhole(start + "\x82\xa0" + "tail\nb:2:c\n", kEcho);
  EXPECT_EQ(cut.printed[0], start);
  // A complete character whose second byte has a lead-byte value (0x81 0x81) stays whole.
  std::string whole = "f.txt:1:" + std::string(502, 'a');
  Listing kept = ListWhole(whole + "\x81\x81" + "tail\nb:2:c\n", kEcho);
  EXPECT_EQ(kept.printed[0], whole + "\x81\x81");
  EXPECT_EQ(kept.entries, (Entries{"f.txt:1", "b:2"}));
}

TEST(ReaderLeadBytes, LoneLeadByteAsTheWholeLineIsCut) {
  Listing l = ListWhole("\x81\n", kEcho);
  EXPECT_EQ(l.printed[0], "");
}

// Random outputs built from the bytes that matter (colons, line breaks, lead bytes, zeros) must
// list exactly as the plain model says, in any chunking.
TEST(ReaderModel, RandomOutputsListAsTheModelSays) {
  std::mt19937 random(2026);
  const char alphabet[] = {'a',    ':',    ':',    '\n',   '\r', '\x81', '\x82', '\xa0',
                           '\xe0', '\xef', '\xbb', '\xbf', '\0', 'b',    'C',    '\\'};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    size_t length = random() % 3000;
    for (size_t i = 0; i < length; ++i) {
      // Mostly names with two colons, so listings run long enough to reach the buffer's edges.
      if (random() % 40 == 0)
        text += "f" + std::to_string(i) + ".txt:" + std::to_string(random() % 99) + ":";
      else
        text += alphabet[random() % sizeof(alphabet)];
    }
    std::vector<size_t> sizes;
    for (int i = 0; i < 8; ++i) sizes.push_back(1 + random() % 700);
    for (const OutputEncoding& encoding : {Cp932Encoding(), Utf8Encoding()}) {
      ModelListing model = ModelList(text, encoding.structure);
      Listing l = ListInChunks(text, sizes, {true, encoding});
      ASSERT_EQ(l.entries, model.entries) << "round " << round << ", " << encoding.codePage;
      ASSERT_EQ(l.printed, ModelPrinted(model, true))
          << "round " << round << ", " << encoding.codePage;
    }
  }
}

// The lead bytes that the reader uses agree with the system's own code page 932 decoder: a lead
// byte alone is an incomplete character to it, any other byte a whole one or an invalid one.
TEST(ReaderLeadBytes, RangesAreWhatTheDecoderFindsIncomplete) {
  iconv_t decoder = iconv_open("UTF-16LE", "CP932");
  ASSERT_NE(decoder, reinterpret_cast<iconv_t>(-1));
  for (int b = 1; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8];
    char *from = in, *to = out;
    size_t inLeft = 1, outLeft = sizeof(out);
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    bool incomplete =
        iconv(decoder, &from, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
    EXPECT_EQ(IsLeadByte(Cp932Encoding(), in[0]), incomplete) << b;
  }
  iconv_close(decoder);
}

const ListOptions kUtf8Echo = {true, Utf8Encoding()};

TEST(ReaderUtf8, CharacterCutByTheBufferEndIsNotEchoed) {
  // 510 bytes, then a three-byte character of which the buffer holds two.
  std::string start = "f.txt:1:" + std::string(502, 'a');
  Listing cut = ListWhole(start + "\xe3\x81\x82tail\nb:2:c\n", kUtf8Echo);
  EXPECT_EQ(cut.printed[0], start);
  // A four-byte character that just fits stays whole.
  std::string whole = "f.txt:1:" + std::string(500, 'a');
  Listing kept = ListWhole(whole + "\xf0\x9f\x98\x80tail\nb:2:c\n", kUtf8Echo);
  EXPECT_EQ(kept.printed[0], whole + "\xf0\x9f\x98\x80");
  EXPECT_EQ(kept.entries, (Entries{"f.txt:1", "b:2"}));
  // Code page 932 would have cut nothing there: 0x82 is no lead byte after 0xe3.
  EXPECT_EQ(ListWhole(start + "\xe3\x81\x82tail\nb:2:c\n", kEcho).printed[0], start + "\xe3\x81");
}

TEST(ReaderUtf8, ByteOrderMarkAtTheStartIsDroppedOnlyThere) {
  for (size_t size : {1, 2, 3, 7, 512}) {
    Listing l = ListInChunks(
        "\xef\xbb\xbf"
        "a:1:x\n\xef\xbb\xbf"
        "b:2:y\n",
        {size}, kUtf8Echo);
    EXPECT_EQ(l.entries, (Entries{"a:1",
                                  "\xef\xbb\xbf"
                                  "b:2"}))
        << size;
  }
  // In code page 932 the mark is text.
  EXPECT_EQ(ListWhole("\xef\xbb\xbf"
                      "a:1:x\n")
                .entries,
            (Entries{"\xef\xbb\xbf"
                     "a:1"}));
  // The start of a mark and no more is text too.
  EXPECT_EQ(ListWhole("\xef\xbb", kUtf8Echo).printed[0], "");
}

TEST(ReaderPaths, DriveColonIsNoSeparator) {
  Listing l = ListWhole(
      "C:\\work\\a.c:12:int x;\r\nd:/src/b.c:3:y\r\n\\\\srv\\share\\c.c:4:z\r\nC:d.c:5:w\r\n");
  // "C:d.c" has no separator after its colon: that colon ends the file part, and "d.c" is no
  // line number.
  EXPECT_EQ(l.entries, (Entries{"C:\\work\\a.c:12", "d:/src/b.c:3", "\\\\srv\\share\\c.c:4"}));
}

// Real conversions, for names whose bytes differ by code page but whose characters do not. A
// byte that is no character stands as U+FFFD, as in the system's own conversion.
Decoded IconvToWide(void*, uint32_t codePage, wchar_t* out, size_t capacity, const char* text) {
  iconv_t convert = iconv_open("WCHAR_T", codePage == kUtf8CodePage ? "UTF-8" : "CP932");
  char* from = const_cast<char*>(text);
  char* to = reinterpret_cast<char*>(out);
  size_t inLeft = strlen(text), outLeft = (capacity - 1) * sizeof(wchar_t);
  Decoded result = Decoded::kValid;
  while (inLeft > 0 && iconv(convert, &from, &inLeft, &to, &outLeft) == static_cast<size_t>(-1)) {
    if (errno == E2BIG || outLeft < sizeof(wchar_t)) {
      result = Decoded::kTooLong;
      break;
    }
    *reinterpret_cast<wchar_t*>(to) = 0xFFFD;
    to += sizeof(wchar_t);
    outLeft -= sizeof(wchar_t);
    ++from;
    --inLeft;
    result = Decoded::kReplaced;
  }
  *reinterpret_cast<wchar_t*>(to) = 0;
  iconv_close(convert);
  if (result == Decoded::kTooLong) out[0] = 0;
  return result;
}

TEST(ReaderCodePages, SameNamesInCodePage932AndUtf8GiveTheSameEntries) {
  // Japanese names and text, lines longer than the buffer, names whose bytes hold 0x5c.
  std::string cp932;
  for (int i = 0; i < 40; ++i) {
    cp932 += "docs\\\x83\x81\x83\x82" + std::to_string(i) + ".txt:" + std::to_string(i * 7) +
             ":\x8c\x9f\x8d\xf5" + std::string(static_cast<size_t>(i * 37 % 700), 'x') + "\r\n";
    cp932 += "C:\\\x83\x5c\x81\x5b\x83\x58\\\x95\x5c.c:" + std::to_string(i) + ":\x83\x5c\n";
  }
  std::string utf8 = "\xef\xbb\xbf" + Cp932ToUtf8(cp932);
  Listing reference = ListWhole(cp932, {false, Cp932Encoding(), IconvToWide});
  ASSERT_EQ(reference.names.size(), 80u);
  EXPECT_EQ(reference.names[1], L"C:\\\u30bd\u30fc\u30b9\\\u8868.c:0");
  std::mt19937 random(12);
  for (int round = 0; round < 100; ++round) {
    std::vector<size_t> sizes;
    for (int i = 0; i < 8; ++i) sizes.push_back(1 + random() % 600);
    ASSERT_EQ(ListInChunks(cp932, sizes, {false, Cp932Encoding(), IconvToWide}).names,
              reference.names)
        << "code page 932, round " << round;
    ASSERT_EQ(ListInChunks(utf8, sizes, {false, Utf8Encoding(), IconvToWide}).names,
              reference.names)
        << "UTF-8, round " << round;
  }
}

// Long Japanese paths: UTF-8 takes three bytes a character where code page 932 takes two, so the
// same name can fit the buffer in one and not in the other; and a name can fit the buffer's bytes
// but not the field's 259 characters.
TEST(ReaderCodePages, LongJapaneseNamesArePassedOverWhereTheyDoNotFit) {
  std::string kanji200, kanji300;
  for (int i = 0; i < 200; ++i) kanji200 += "\x95\x5c";  // 表
  for (int i = 0; i < 300; ++i) kanji300 += "\x95\x5c";
  // 100 characters of two bytes and 161 of one: 361 bytes, but 261 characters.
  std::string wide261 = kanji200.substr(0, 200) + std::string(155, 'a');
  std::string cp932 = kanji200 + ".c:1:x\r\n" + "a.c:2:y\n" + kanji300 + ".c:3:x\r\n" +
                      "b.c:4:y\n" + wide261 + "bb.c:5:x\n" + "c.c:6:y\n";
  std::vector<std::wstring> expected = {std::wstring(200, L'\u8868') + L".c:1", L"a.c:2", L"b.c:4",
                                        L"c.c:6"};
  EXPECT_EQ(ListWhole(cp932, {false, Cp932Encoding(), IconvToWide}).names, expected);
  // In UTF-8 the 200-character name takes 600 bytes: its second colon is past the buffer.
  expected.erase(expected.begin());
  for (size_t size : {7, 256, 2000})
    EXPECT_EQ(ListInChunks(Cp932ToUtf8(cp932), {size}, {false, Utf8Encoding(), IconvToWide}).names,
              expected)
        << size;
}

FileFacts Facts(uint32_t size) {
  return {size, 0, 1000 + size, 1, 0x20};
}

TEST(ReaderFiles, EachEntryCarriesItsFilesFactsAndAMissingFileTheFailureValues) {
  FakeOutput output;
  output.chunks = {"a.c:1:x\nb.c:2:y\nD:\\abs.c:3:z\n"};
  output.files[L"C:\\w\\a.c"] = Facts(11);
  output.files[L"D:\\abs.c"] = Facts(33);
  Listing l = List(output, {.baseDirectory = L"C:\\w"});
  ASSERT_EQ(l.files.size(), 3u);
  EXPECT_EQ(memcmp(&l.files[0], &output.files[L"C:\\w\\a.c"], sizeof(FileFacts)), 0);
  EXPECT_EQ(memcmp(&l.files[1], &kMissingFile, sizeof(FileFacts)), 0);
  EXPECT_EQ(memcmp(&l.files[2], &output.files[L"D:\\abs.c"], sizeof(FileFacts)), 0);
}

TEST(ReaderFiles, OneFilesMatchesInARowShareOneLookUp) {
  FakeOutput output;
  output.chunks = {"a.c:1:x\na.c:2:x\nb.c:3:x\na.c:4:x\n"};
  List(output, {.baseDirectory = L"C:\\w"});
  EXPECT_EQ(output.lookedUp,
            (std::vector<std::wstring>{L"C:\\w\\a.c", L"C:\\w\\b.c", L"C:\\w\\a.c"}));
}

// A tool that prints UTF-8 under the default setting, or code page 932 under 65001: the reading
// the setting gives names no file, the other reading names the real one, and the entry takes it,
// echo included. A name that names no file either way lists as the setting reads it.
TEST(ReaderFiles, NameTheSettingMisreadsTakesTheReadingThatNamesAFile) {
  const std::string memo = "docs\\\x83\x81\x83\x82.txt",
                    none = "\x83\x69\x83\x56.txt";  // メモ, ナシ
  const std::wstring wideMemo = L"docs\\\u30e1\u30e2.txt";
  struct Case {
    OutputEncoding encoding;
    std::string output;
  } cases[] = {
      {Cp932Encoding(), Cp932ToUtf8(memo + ":2:x\n" + memo + ":5:y\n" + none + ":1:z\n")},
      {Utf8Encoding(), memo + ":2:x\n" + memo + ":5:y\n" + none + ":1:z\n"},
  };
  for (const Case& c : cases) {
    FakeOutput output;
    output.chunks = {c.output};
    output.files[L"C:\\w\\" + wideMemo] = Facts(7);
    Listing l = List(
        output,
        {.echo = true, .encoding = c.encoding, .toWide = IconvToWide, .baseDirectory = L"C:\\w"});
    uint32_t setting = c.encoding.codePage, other = OtherCodePage(setting);
    ASSERT_EQ(l.names.size(), 3u) << setting;
    EXPECT_EQ(l.names[0], wideMemo + L":2") << setting;
    EXPECT_EQ(l.names[1], wideMemo + L":5") << setting;
    EXPECT_EQ(l.files[0].sizeLow, 7u) << setting;
    EXPECT_EQ(l.files[1].sizeLow, 7u) << setting;
    wchar_t asRead[kPathCapacity];
    std::string noneBytes = c.output.substr(c.output.rfind('\n', c.output.size() - 2) + 1);
    noneBytes.resize(noneBytes.find(":1:") + 2);
    IconvToWide(nullptr, setting, asRead, kPathCapacity, noneBytes.c_str());
    EXPECT_EQ(l.names[2], asRead) << setting;
    EXPECT_EQ(memcmp(&l.files[2], &kMissingFile, sizeof(FileFacts)), 0) << setting;
    EXPECT_EQ(output.printedCodePages, (std::vector<uint32_t>{other, other, setting}));
    // Each reading of each name looked up once; the file's next match asks nothing.
    EXPECT_EQ(output.lookedUp.size(), 4u) << setting;
  }
}

TEST(ReaderFiles, NameThatListsRightOrHasNoOtherReadingIsLookedUpOnce) {
  FakeOutput output;
  // ASCII reads the same either way; 0x83 0x82 is no UTF-8.
  output.chunks = {"a.c:1:x\n\x83\x81.c:2:x\n\x83\x82.c:3:x\n"};
  output.files[L"C:\\w\\\u30e1.c"] = Facts(1);
  Listing l = List(output, {.toWide = IconvToWide, .baseDirectory = L"C:\\w"});
  EXPECT_EQ(l.names, (std::vector<std::wstring>{L"a.c:1", L"\u30e1.c:2", L"\u30e2.c:3"}));
  EXPECT_EQ(output.lookedUp,
            (std::vector<std::wstring>{L"C:\\w\\a.c", L"C:\\w\\\u30e1.c", L"C:\\w\\\u30e2.c"}));
}

// ripgrep writes ".\" before every name; the long form that passes the system's limit takes it
// literally, so it is resolved first. A relative BaseDirectory has no long form.
TEST(ReaderFiles, RealPathPastTheLimitIsLookedUpInItsLongForm) {
  std::wstring base = L"C:\\" + std::wstring(250, L'b');
  std::string line = ".\\sub\\..\\" + std::string(20, 'f') + ".txt:3:x\n";
  std::wstring longForm = L"\\\\?\\" + base + L"\\" + std::wstring(20, L'f') + L".txt";
  FakeOutput absolute;
  absolute.chunks = {line};
  absolute.files[longForm] = Facts(9);
  Listing l = List(absolute, {.baseDirectory = base.c_str()});
  ASSERT_EQ(l.files.size(), 1u);
  EXPECT_EQ(l.files[0].sizeLow, 9u);
  EXPECT_EQ(absolute.lookedUp, (std::vector<std::wstring>{longForm}));
  FakeOutput relative;
  relative.chunks = {line};
  Listing r = List(relative, {.baseDirectory = base.c_str() + 3});
  ASSERT_EQ(r.files.size(), 1u);
  EXPECT_EQ(r.files[0].attributes, kMissingFile.attributes);
  EXPECT_TRUE(relative.lookedUp.empty());
}

}  // namespace
