// The decoder: status-bit map, fix-ups of a few replies, the field split, the name table.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "link/link.h"
#include "link/status_map.h"
#include "tests/link/scripted_channel.h"

namespace {

using linktest::ReplyFrame;

void Ignore(RetData&) {}

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { linktest::OpenScripted(channel); }
  void TearDown() override {
    LinkReset();
    LinkSetPortFactory(nullptr);
    LinkSetClock(nullptr);
  }
  void Reply(std::int32_t command, const std::string& data,
             const std::string& status = std::string(6, '\x80')) {
    channel.Bytes(ReplyFrame(0x21, static_cast<std::uint8_t>(command), data, status));
    ASSERT_EQ(PrnExecuteCallback(Ignore, 0, command, ""), PRN_OK);
  }
  std::vector<std::string> Fields() const {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(LinkResult.FieldCount));
    for (int i = 0; i < LinkResult.FieldCount; ++i) out.emplace_back(LinkResult.Fields[i]);
    return out;
  }
  linktest::ScriptedChannel channel;
};

TEST(StatusMap, TopBitsAndUnmappedBitsGiveNoErrorBits) {
  const std::uint8_t top_only[6] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  EXPECT_EQ(MapStatusBytes(top_only), 0u);
  // Byte 3 entirely, 0x08 and 0x40 of byte 0, 0x02/0x04/0x10 of byte 2, 0x02 of byte 4.
  const std::uint8_t unmapped[6] = {0x48, 0x40, 0x16, 0x7F, 0x02, 0x40};
  EXPECT_EQ(MapStatusBytes(unmapped), 0u);
}

TEST(StatusMap, EveryMappedBitTogetherSetsExactlyTheMappedErrorBits) {
  const std::uint8_t all[6] = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F};
  // Bits 0..14, 16..23, 27 and 28; never 15, 24..26, 29..31.
  EXPECT_EQ(MapStatusBytes(all), 0x18FF7FFFu);
}

TEST(StatusMap, EachErrorBitHasOnePlace) {
  StatusBit where{};
  ASSERT_TRUE(FindStatusBit(10, where));
  EXPECT_EQ(where.byte, 2);
  EXPECT_EQ(where.mask, 0x08);
  ASSERT_TRUE(FindStatusBit(14, where));
  EXPECT_EQ(where.byte, 5);
  EXPECT_EQ(where.mask, 0x20);
  for (int bit : {15, 24, 25, 26, 29, 30, 31}) EXPECT_FALSE(FindStatusBit(bit, where)) << bit;
}

TEST_F(DecoderTest, StatusBytesAreKeptWithoutTheirTopBit) {
  Reply(74, "", "\x81\x88\xA0\x80\x84\xA0");
  EXPECT_EQ(LinkResult.ErrorWord, (1u << 0) | (1u << 7) | (1u << 11) | (1u << 13) | (1u << 14));
  const std::uint8_t expected[6] = {0x01, 0x08, 0x20, 0x00, 0x04, 0x20};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(LinkResult.Status[i], expected[i]) << i;
}

struct FixUpCase {
  std::int32_t command;
  std::string reply;
  std::vector<std::string> fields;
};

class FixUpTest : public DecoderTest, public ::testing::WithParamInterface<FixUpCase> {};

TEST_P(FixUpTest, ReplyIsAdjustedThenSplit) {
  const FixUpCase& c = GetParam();
  Reply(c.command, c.reply);
  EXPECT_EQ(Fields(), c.fields);
  EXPECT_EQ(std::string(LinkResult.ReplyData), c.reply);  // the copy is taken before
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FixUpTest,
    ::testing::Values(FixUpCase{53, "R1250", {"R", "1250"}},
                      FixUpCase{50, "A10,20", {"A", "10", "20"}},
                      FixUpCase{53, "R", {"R"}},  // one character: no fix-up
                      FixUpCase{62, "01-02-15 10:20:30", {"01-02-15", "10:20:30"}},
                      FixUpCase{62, "01-02-15", {"01-02-15"}},  // shorter than nine: unchanged
                      FixUpCase{90,
                                "1.00 17Jun13 1200 ,FF,X,Y,Z,SER1 2",
                                {"1.00", "17Jun13", "1200", "", "FF", "X", "Y", "Z", "SER1 2"}},
                      FixUpCase{74, "a b,c", {"a b", "c"}},  // no fix-up for other commands
                      FixUpCase{74, "1,,2", {"1", "", "2"}}, FixUpCase{74, "12", {"12"}},
                      FixUpCase{74, "1,", {"1", ""}}, FixUpCase{74, ",", {"", ""}}));

TEST_F(DecoderTest, MoreThanTwentyFieldsLeaveTheRestInTheLast) {
  std::string reply;
  for (int i = 1; i <= 25; ++i) reply += std::to_string(i) + (i < 25 ? "," : "");
  Reply(74, reply);
  ASSERT_EQ(LinkResult.FieldCount, 20);
  EXPECT_STREQ(LinkResult.Fields[18], "19");
  EXPECT_STREQ(LinkResult.Fields[19], "20,21,22,23,24,25");
}

TEST_F(DecoderTest, EmptyReplyHasNoFields) {
  Reply(74, "1,2");
  Reply(74, "");
  EXPECT_EQ(LinkResult.FieldCount, 0);
  EXPECT_STREQ(LinkResult.ReplyData, "");
}

std::string Utf8To1251(const std::string& utf8) {
  iconv_t cd = iconv_open("CP1251", "UTF-8");
  std::string in = utf8;
  std::string out(in.size() * 2 + 1, '\0');
  char* inp = in.data();
  char* outp = out.data();
  std::size_t inleft = in.size();
  std::size_t outleft = out.size();
  iconv(cd, &inp, &inleft, &outp, &outleft);
  iconv_close(cd);
  out.resize(out.size() - outleft);
  return out;
}

TEST(CommandNames, AreWindows1251BytesOfTheRussianNames) {
  const struct {
    std::int32_t code;
    const char* utf8;
  } cases[] = {
      {74, "Получить состояние регистратора"},
      {52, "Регистрация продажи  и вывод на дисплей"},
      {83, "Установить множитель, запятую, валюту и количество групп налогов"},
      {33, "Очистка дисплея"},
      {119, "Обнулить операторские пароли"},
      {66, "Суммы коррекций за день"},
      {67, "Размер фискальной памяти"},
  };
  for (const auto& c : cases) EXPECT_EQ(PrnCommandName(c.code), Utf8To1251(c.utf8)) << c.code;
}

TEST(CommandNames, CodesWithoutANameAreInvalidCommands) {
  const std::string invalid = Utf8To1251("Неверная команда");
  for (std::int32_t code : {-1, 0, 32, 36, 37, 68, 108, 116, 120, 167, 235, 236, 255, 1000}) {
    EXPECT_EQ(PrnCommandName(code), invalid) << code;
  }
}

TEST(CommandNames, TheTraceNamesCommandsTheCatalogueLeavesUnnamed) {
  const struct {
    std::int32_t code;
    const char* utf8;
  } cases[] = {
      {36, "Записать сетевые настройки"}, {37, "Прочитать сетевые настройки"},
      {88, "Печать штрих-кода"},          {108, "Отчет модема"},
      {120, "Оплата с кодом транзакции"}, {167, "Прочитать данные Z-отчета"},
      {255, "Идентификация устройства"},  {74, "Получить состояние регистратора"},
  };
  for (const auto& c : cases) EXPECT_STREQ(PrnCommandNameUtf8(c.code), c.utf8) << c.code;
  for (std::int32_t code : {-1, 0, 32, 68, 256, 1000}) {
    EXPECT_STREQ(PrnCommandNameUtf8(code), "Неверная команда") << code;
  }
}

TEST_F(DecoderTest, ResultCarriesTheCommandName) {
  Reply(62, "01-02-15 10:20:30");
  EXPECT_EQ(std::string(LinkResult.CommandName), Utf8To1251("Получить дату и время"));
}

}  // namespace
