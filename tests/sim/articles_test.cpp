// The article table through command 107 and its effect on sales.
#include <gtest/gtest.h>

#include "sim/wire/control.h"
#include "tests/sim/sim_harness.h"

namespace simtest {
namespace {

constexpr std::uint32_t kSyntax = 1u << 0;

using Articles = LinkedPrinter;

TEST_F(Articles, ProgramReadWalkChangeAndDelete) {
  EXPECT_EQ(Ok(107, "R7").Field(1), "F");
  EXPECT_EQ(Ok(107, "F").Field(1), "F") << "empty table";
  ProgramArticle(7, '\xC2', "12.50", "\xD5\xEB\xE5\xE1");
  ProgramArticle(14800, '\xC0', "0.01", "LAST");
  const LinkReply r = Ok(107, "R7");
  ASSERT_EQ(r.fields.size(), 10u);
  EXPECT_EQ(r.Field(1), "P");
  EXPECT_EQ(r.Field(2), "7");
  EXPECT_EQ(r.Field(3), "\xC2");
  EXPECT_EQ(r.Field(4), "1");
  EXPECT_EQ(r.Field(5), "12.50");
  EXPECT_EQ(r.Field(10), "\xD5\xEB\xE5\xE1");

  EXPECT_EQ(Ok(107, "F").Field(2), "7");
  EXPECT_EQ(Ok(107, "N").Field(2), "14800");
  EXPECT_EQ(Ok(107, "N").Field(1), "F") << "end of the table";

  EXPECT_EQ(Ok(107, "C7,13.00,0").Field(1), "P");
  EXPECT_EQ(Ok(107, "R7").Field(5), "13.00");
  EXPECT_EQ(Ok(107, "C8,13.00,0").Field(1), "F");

  // An article sold today cannot be deleted or reprogrammed until the Z report.
  Ok(48, "00001,,00001,I");
  Ok(58, "7*1.500");
  Ok(53, "\tP");
  Ok(56);
  const LinkReply sold = Ok(107, "R7");
  EXPECT_EQ(sold.Field(6), "1.500");
  EXPECT_EQ(sold.Field(7), "19.50");
  EXPECT_EQ(Ok(107, "D7,0").Field(1), "F");
  EXPECT_EQ(Ok(107,
               "P\xC0"
               "7,1,1.00,0,OTHER")
                .Field(1),
            "F");
  Ok(69, "0,0");
  EXPECT_EQ(Ok(107, "D7,0").Field(1), "P");
  EXPECT_EQ(Ok(107, "R7").Field(1), "F");
  EXPECT_EQ(Ok(107, "DA,0").Field(1), "P");
  EXPECT_EQ(Ok(107, "F").Field(1), "F");
}

TEST_F(Articles, MalformedProgrammingIsASyntaxError) {
  const char* const cases[] = {
      "P\xC5"
      "1,1,1.00,0,BAD TAX",
      "P\xC0"
      "0,1,1.00,0,ZERO",
      "P\xC0"
      "14801,1,1.00,0,TOO HIGH",
      "P\xC0"
      "1,100,1.00,0,GROUP",
      "P\xC0"
      "1,1,0.00,0,FREE",
      "P\xC0"
      "1,1,1.005,0,THREE DECIMALS",
      "P\xC0"
      "1,1,1.00,0,",
      "P\xC0"
      "1,1,1.00,0,NAME,WITH COMMA",
      "P\xC0"
      "1,1,1.00,0,A NAME MUCH LONGER THAN THE PRINTER",
      "R",
      "Rx",
      "X1",
      "",
  };
  for (const char* data : cases) {
    EXPECT_EQ(Run(107, data).error & FailureMask & ~(1u << 27), kSyntax) << data;
  }
  EXPECT_EQ(Ok(107, "F").Field(1), "F") << "nothing was programmed";
}

TEST_F(Articles, OperatorNamesAppearOnTheReceipt) {
  std::string paper;
  device.SetPaperSink([&paper](const std::string& text) { paper += text; });
  Ok(102, "3,,ANNA");
  ProgramArticle(1, '\xC0', "1.00", "X");
  Ok(48, "00003,,00001,I");
  Ok(53, "\tP");
  Ok(56);
  EXPECT_NE(paper.find("OPERATOR 3 ANNA"), std::string::npos) << paper;
  EXPECT_NE(Run(102, "16,,X").error & kSyntax, 0u);
}

TEST_F(Articles, ANameOfTwoLinesPrintsOneUnderTheOther) {
  std::string paper;
  device.SetPaperSink([&paper](const std::string& text) { paper += text; });
  const std::string first(24, 'A');
  const std::string second = "\xD1\xEE\xEA";  // Сок
  ProgramArticle(3, '\xC0', "2.00", first + "\t" + second);
  EXPECT_EQ(Ok(107, "R3").Field(10), first + "\t" + second);
  const char* const refused[] = {
      "P\xC0"
      "4,1,1.00,0,\tSECOND",  // an empty first line
      "P\xC0"
      "4,1,1.00,0,FIRST\t",  // an empty second line
      "P\xC0"
      "4,1,1.00,0,AAAAAAAAAAAAAAAAAAAAAAAAA\tB",  // a first line of 25
      "P\xC0"
      "4,1,1.00,0,A\tBBBBBBBBBBBBBBBBBBBBBBBBB",  // a second line of 25
      "P\xC0"
      "4,1,1.00,0,A\tB\tC",  // three lines
  };
  for (const char* data : refused) {
    EXPECT_EQ(Run(107, data).error & kSyntax, kSyntax) << data;
  }
  Ok(48, "00001,,00001,I");
  Ok(58, "3");
  EXPECT_EQ(device.display_upper(), first.substr(0, 20));
  Ok(53, "\tP");
  Ok(56);
  EXPECT_NE(paper.find(first + "\n\xD0\xA1\xD0\xBE\xD0\xBA"), std::string::npos) << paper;
  EXPECT_EQ(paper.find('\t'), std::string::npos) << paper;
}

TEST_F(Articles, ArticlesKeyedInOnThePrinter) {
  EXPECT_EQ(molvex::sim::KeyInArticle(device, "12,Б,3,30.00,Молоко 3.2%"), "");
  const LinkReply r = Ok(107, "R12");
  EXPECT_EQ(r.Field(3), "\xC1");
  EXPECT_EQ(r.Field(4), "3");
  EXPECT_EQ(r.Field(5), "30.00");
  EXPECT_EQ(r.Field(10), "\xCC\xEE\xEB\xEE\xEA\xEE 3.2%");
  const char* const refused[] = {
      "12,Б,3,30.00",         "12,Е,3,1.00,X",    "12,B,3,1.00,X",  "0,А,1,1.00,X",
      "12,А,100,1.00,X",      "12,А,1,0,X",       "12,А,1,1.005,X", "12,А,1,1.00,",
      "12,А,1,1.00,\xFF\xFE", "12,А,1,1.00,日本", "x,А,1,1.00,X",
  };
  for (const char* text : refused) {
    EXPECT_NE(molvex::sim::KeyInArticle(device, text), "") << text;
  }
  EXPECT_EQ(Ok(107, "R12").Field(10), "\xCC\xEE\xEB\xEE\xEA\xEE 3.2%") << "unchanged";
}

}  // namespace
}  // namespace simtest
