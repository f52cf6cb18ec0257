// The pure pieces of the Z-report capture: the decoder, the reply numbers, the read loop, the
// log line and the archive name; and the archive file that never replaces another.
#include <deque>
#include <random>

#include "archive/z_archive.h"
#include "archive/z_data.h"
#include "tests/archive/settings_dir_fixture.h"
#include "tests/support/base64.h"

namespace molvex::testing {
namespace {

TEST(ZDataDecoder, EdgeCases) {
  struct Case {
    const char* what;
    std::string encoded;
    std::string decoded;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"one group", "QUJD", "ABC"},
      {"two groups", "QUJDREVG", "ABCDEF"},
      {"count 2 at the end, padded", "QUJDRA==", "ABCD"},
      {"count 3 at the end, padded", "QUJDREU=", "ABCDE"},
      {"count 2 at the end, unpadded", "QUJDRA", "ABCD"},
      {"count 3 at the end, unpadded", "QUJDREU", "ABCDE"},
      {"count 1 at the end gives nothing", "QUJDR", "ABC"},
      {"outside the alphabet in the middle", "QUJD*REVG", "ABC"},
      {"a blank ends it too", "QUJD REVG", "ABC"},
      {"a line end ends it too", "QUJD\nREVG", "ABC"},
      {"stopped inside a group", "QUJDREU*RkdI", "ABCDE"},
      {"outside the alphabet at the start", "*QUJD", ""},
      {"padding at the start", "=QUJD", ""},
      {"a zero byte in the text stops it", std::string("QUJD\0REVG", 9), "ABC"},
      {"all 64 characters", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
       std::string("\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51\x55\x97"
                   "\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a\xab\xb2\xdb\xaf"
                   "\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf",
                   48)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecodeZData(c.encoded), c.decoded);
  }
}

TEST(ZDataDecoder, DecodesWhateverWasEncodedZeroBytesIncluded) {
  std::mt19937 random(7);
  for (std::size_t size = 0; size < 64; ++size) {
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    if (size > 2) bytes[size / 2] = '\0';
    SCOPED_TRACE(size);
    const std::string encoded = testsupport::Base64(bytes);
    EXPECT_EQ(DecodeZData(encoded), bytes);
    const std::string unpadded = encoded.substr(0, encoded.find('='));
    EXPECT_EQ(DecodeZData(unpadded), bytes);
  }
}

TEST(ZDataDecoder, TheArchiveTakesTheDataUpToItsFirstZeroByte) {
  EXPECT_EQ(ZArchiveContent(std::string("Z=1\nA\0B\n", 8)), "Z=1\nA");
  EXPECT_EQ(ZArchiveContent(std::string("\0B", 2)), "");
  EXPECT_EQ(ZArchiveContent("no zero\n"), "no zero\n");
}

TEST(ZDataNumbers, LeadingDecimal) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"0", 0},
      {"60", 60},
      {"  17", 17},
      {"17abc", 17},
      {"", 0},
      {"abc", 0},
      {"-5", -5},
      {"+8", 8},
      {" \t12 3", 12},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
      {"00042", 42},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(LeadingDecimal(text), value);
  }
}

// A printer's answers to the reads, one per chunk, and the chunk numbers asked for.
struct ScriptedReads {
  struct Answer {
    bool ok;
    int fields;
    std::string count;
    std::string chunk;
  };
  std::deque<Answer> answers;  // then "1,A" for ever
  std::vector<std::int32_t> asked;
  Answer current;

  std::function<ZDataReply(std::int32_t)> Reader() {
    return [this](std::int32_t chunk) {
      asked.push_back(chunk);
      current = Answer{true, 2, "1", "A"};
      if (!answers.empty()) {
        current = answers.front();
        answers.pop_front();
      }
      return ZDataReply{current.ok, current.fields, current.count, current.chunk};
    };
  }
};

TEST(ZDataReading, ChunksAreJoinedUntilTheCountIsZero) {
  ScriptedReads reads;
  reads.answers = {{true, 2, "4", "QUJD"}, {true, 2, "4", "REVG"}, {true, 2, "0", ""}};
  std::string encoded;
  EXPECT_EQ(GatherZData(reads.Reader(), encoded), ZDataRead::Complete);
  EXPECT_EQ(encoded, "QUJDREVG");
  EXPECT_EQ(reads.asked, (std::vector<std::int32_t>{0, 1, 2}));
}

TEST(ZDataReading, EndsOtherwiseOnlyAsIncomplete) {
  struct Case {
    const char* what;
    std::deque<ScriptedReads::Answer> answers;
    ZDataLimits limits;
    ZDataRead end;
    std::size_t reads;
  };
  const Case cases[] = {
      {"first read says no data", {{true, 1, "0", ""}}, {}, ZDataRead::Complete, 1},
      {"zero with blanks and text after the digit",
       {{true, 2, " 0x", ""}},
       {},
       ZDataRead::Complete,
       1},
      {"failed first read", {{false, 0, "", ""}}, {}, ZDataRead::Failed, 1},
      {"failed later read",
       {{true, 2, "4", "QUJD"}, {false, 2, "4", "QUJD"}},
       {},
       ZDataRead::Failed,
       2},
      {"count without a chunk",
       {{true, 2, "4", "QUJD"}, {true, 1, "4", ""}},
       {},
       ZDataRead::NoChunk,
       2},
      // The count must be the chunk's length: a chunk cut or grown on the way is no data.
      {"fewer characters than announced",
       {{true, 2, "4", "QUJD"}, {true, 2, "4", "QUJ"}},
       {},
       ZDataRead::Miscounted,
       2},
      {"more characters than announced", {{true, 2, "3", "QUJD"}}, {}, ZDataRead::Miscounted, 1},
      {"an announced chunk that is empty", {{true, 2, "4", ""}}, {}, ZDataRead::Miscounted, 1},
      {"a negative count", {{true, 2, "-4", "QUJD"}}, {}, ZDataRead::Miscounted, 1},
      {"the end that still carries text", {{true, 2, "0", "QUJD"}}, {}, ZDataRead::Miscounted, 1},
      {"never done: the read limit", {}, {5, 1000}, ZDataRead::TooLong, 5},
      {"never done: the text limit", {}, {1000, 3}, ZDataRead::TooLong, 4},
      {"never done: the default read limit", {}, {}, ZDataRead::TooLong, 2048},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedReads reads;
    reads.answers = c.answers;
    std::string encoded;
    EXPECT_EQ(GatherZData(reads.Reader(), encoded, c.limits), c.end);
    EXPECT_EQ(reads.asked.size(), c.reads);
  }
}

TEST(ZArchiveNames, LogLineAndArchivePath) {
  const LocalDateTime morning{2026, 12, 10, 9, 5, 59};
  EXPECT_EQ(ZLogLine(morning, " Z"), "10-12-2026 09:05 Z \n");
  EXPECT_EQ(ZLogLine(LocalDateTime{2027, 1, 2, 23, 0, 0}, ""), "02-01-2027 23:00 \n");

  ArchiveSettings s;
  s.LocalPath = "C:\\ECR\\";
  s.IdReastaurant = "12";
  s.FiscalPrinter = "3";
  EXPECT_EQ(ZArchivePath(s, morning, 1), "C:\\ECR\\202612100905123.zre");
  EXPECT_EQ(ZArchivePath(s, morning, 2), "C:\\ECR\\202612100905123_2.zre");
  EXPECT_EQ(ZArchivePath(s, morning, 17), "C:\\ECR\\202612100905123_17.zre");
  EXPECT_EQ(ZArchivePath(ArchiveSettings{}, morning, 1), "202612100905.zre");  // no settings
}

using ZArchiveFiles = SettingsDirTest;

TEST_F(ZArchiveFiles, AnArchiveFileIsNeverReplaced) {
  ArchiveSettings s;
  s.LocalPath = dir.string() + "/";
  s.IdReastaurant = "1";
  s.FiscalPrinter = "2";
  const LocalDateTime t{2026, 12, 10, 22, 5, 0};
  std::string path;
  for (const char* expected : {"202612102205"
                               "12.zre",
                               "202612102205"
                               "12_2.zre",
                               "202612102205"
                               "12_3.zre"}) {
    ASSERT_TRUE(WriteZArchive(s, t, expected, path));
    EXPECT_EQ(path, (dir / expected).string());
  }
  for (const char* name : {"20261210220512.zre", "20261210220512_2.zre", "20261210220512_3.zre"}) {
    std::ifstream in(dir / name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), name);
  }

  s.LocalPath = (dir / "missing" / "").string();
  EXPECT_FALSE(WriteZArchive(s, t, "x", path));
  EXPECT_EQ(path, (dir / "missing" / "20261210220512.zre").string());
}

}  // namespace
}  // namespace molvex::testing
