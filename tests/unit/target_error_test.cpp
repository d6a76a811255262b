#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "target/TargetError.h"

namespace morvane {
namespace {

// A message table with chosen texts, counting how often it is asked.
class TableOfTexts final : public SystemMessageSource {
 public:
  explicit TableOfTexts(std::map<std::int32_t, std::string> texts) : texts_(std::move(texts)) {}
  std::optional<std::string> Lookup(std::int32_t code) const override {
    ++lookups;
    auto found = texts_.find(code);
    if (found == texts_.end()) return std::nullopt;
    return found->second;
  }
  mutable int lookups = 0;

 private:
  std::map<std::int32_t, std::string> texts_;
};

const TableOfTexts& NoTexts() {
  static const TableOfTexts none({});
  return none;
}

struct ReportCase {
  const char* name;
  std::uint32_t code;
  std::optional<std::string> source;
  std::optional<std::string> description;
  const SystemMessageSource* messages;
  std::string expected;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class FormatTargetErrorTest : public testing::TestWithParam<ReportCase> {};

TEST_P(FormatTargetErrorTest, MakesTheReport) {
  const ReportCase& c = GetParam();
  TargetError error(static_cast<std::int32_t>(c.code), c.source, c.description, *c.messages);
  EXPECT_EQ(FormatTargetError(error), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatTargetErrorTest,
    testing::Values(
        ReportCase{"InvalidPointerWithoutErrorInfo", 0x80004003u, std::nullopt, std::nullopt,
                   &BuiltInSystemMessages(),
                   "\n(null) Error: -2147467261\r\n(null)\r\nInvalid pointer\r\n"},
        ReportCase{"UnspecifiedError", 0x80004005u, std::nullopt, std::nullopt,
                   &BuiltInSystemMessages(),
                   "\n(null) Error: -2147467259\r\n(null)\r\nUnspecified error\r\n"},
        ReportCase{"ServerErrorWithErrorInfo", 0x80040200u + 208u,
                   std::string("[FreeTDS][SQL Server] SQLSTATE 42S02"),
                   std::string("Invalid object name 'x'."), &BuiltInSystemMessages(),
                   "\n[FreeTDS][SQL Server] SQLSTATE 42S02 Error: -2147220784\r\n"
                   "Invalid object name 'x'.\r\nIDispatch error #208\r\n"},
        ReportCase{"BaseCodeIsUnknown", 0x80040200u, std::nullopt, std::nullopt, &NoTexts(),
                   "\n(null) Error: -2147220992\r\n(null)\r\nUnknown error 0x80040200\r\n"},
        ReportCase{"OneAboveBase", 0x80040201u, std::nullopt, std::nullopt, &NoTexts(),
                   "\n(null) Error: -2147220991\r\n(null)\r\nIDispatch error #1\r\n"},
        ReportCase{"TopOfRange", 0x8004FFFFu, std::nullopt, std::nullopt, &NoTexts(),
                   "\n(null) Error: -2147155969\r\n(null)\r\nIDispatch error #65023\r\n"},
        ReportCase{"AboveRangeIsUnknown", 0x80050000u, std::nullopt, std::nullopt, &NoTexts(),
                   "\n(null) Error: -2147155968\r\n(null)\r\nUnknown error 0x80050000\r\n"},
        ReportCase{"SmallCodeHexWithoutLeadingZeros", 0x00000001u, std::nullopt, std::nullopt,
                   &NoTexts(), "\n(null) Error: 1\r\n(null)\r\nUnknown error 0x1\r\n"},
        ReportCase{"EmptyTextsStayEmpty", 0x80004005u, std::string(), std::string(),
                   &BuiltInSystemMessages(), "\n Error: -2147467259\r\n\r\nUnspecified error\r\n"},
        ReportCase{"OnlyDescription", 0x80004005u, std::nullopt, std::string("said"),
                   &BuiltInSystemMessages(),
                   "\n(null) Error: -2147467259\r\nsaid\r\nUnspecified error\r\n"}),
    [](const testing::TestParamInfo<ReportCase>& param) { return std::string(param.param.name); });

struct TrimCase {
  const char* name;
  std::string text;
  std::string expected;
};

void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }

class SystemMessageTrimTest : public testing::TestWithParam<TrimCase> {};

TEST_P(SystemMessageTrimTest, TrimsOneLineEnd) {
  const TrimCase& c = GetParam();
  const std::int32_t code = target_code::kUnspecified;
  TableOfTexts table({{code, c.text}});
  EXPECT_EQ(SystemMessageText(code, table), c.expected);
  TargetError error(code, std::nullopt, std::nullopt, table);
  EXPECT_EQ(FormatTargetError(error),
            "\n(null) Error: -2147467259\r\n(null)\r\n" + c.expected + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, SystemMessageTrimTest,
                         testing::Values(TrimCase{"CrLf", "Some text.\r\n", "Some text."},
                                         TrimCase{"LfAlone", "Some text.\n", "Some text."},
                                         TrimCase{"OneLineFeed", "\n", "\n"},
                                         TrimCase{"CrLfOnly", "\r\n", ""},
                                         TrimCase{"OnlyTheLastLineEnd", "Two\r\n\r\n", "Two\r\n"},
                                         TrimCase{"CrAloneStays", "Text\r", "Text\r"},
                                         TrimCase{"NoLineEnd", "Text", "Text"}),
                         [](const testing::TestParamInfo<TrimCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(TargetError, LooksUpTheSystemMessageOnce) {
  TableOfTexts table({{target_code::kInvalidPointer, "Invalid pointer\r\n"}});
  TargetError error(target_code::kInvalidPointer, std::nullopt, std::nullopt, table);
  EXPECT_EQ(table.lookups, 0);
  const std::string first = FormatTargetError(error);
  const std::string second = FormatTargetError(error);
  EXPECT_EQ(first, second);
  EXPECT_EQ(error.SystemMessage(), "Invalid pointer");
  EXPECT_EQ(table.lookups, 1);
}

TEST(TargetError, KeepsTheSystemMessageWhenCopied) {
  TableOfTexts table({});
  TargetError error(target_code::kServerErrorBase + 18456, std::nullopt, std::nullopt, table);
  EXPECT_EQ(error.SystemMessage(), "IDispatch error #18456");
  TargetError copy = error;
  EXPECT_EQ(copy.SystemMessage(), "IDispatch error #18456");
  EXPECT_EQ(table.lookups, 1);
}

TEST(TargetError, BuiltInTableKnowsTheStandardCodes) {
  const std::map<std::int32_t, std::string> expected{
      {target_code::kInvalidPointer, "Invalid pointer"},
      {target_code::kUnspecified, "Unspecified error"},
      {target_code::kOutOfMemory,
       "Not enough memory resources are available to complete this operation."},
      {target_code::kInvalidArgument, "The parameter is incorrect."},
      {target_code::kNoInterface, "No such interface supported"},
      {target_code::kUnexpected, "Catastrophic failure"},
      {target_code::kNotImplemented, "Not implemented"},
      {target_code::kConnectionLost, "The specified network name is no longer available."},
      {target_code::kDriverMissing, "The specified module could not be found."},
      {target_code::kNotFound, "Element not found."},
  };
  for (const auto& [code, text] : expected) {
    EXPECT_EQ(TargetError(code).SystemMessage(), text) << code;
  }
  // Server errors are not in the table: they take the fallback.
  EXPECT_EQ(TargetError(target_code::kServerErrorBase + 208).SystemMessage(),
            "IDispatch error #208");
}

TEST(TargetError, ServerErrorCodes) {
  EXPECT_EQ(target_code::ServerErrorCode(208), static_cast<std::int32_t>(0x800402D0u));
  EXPECT_EQ(target_code::ServerErrorCode(1), static_cast<std::int32_t>(0x80040201u));
  EXPECT_EQ(target_code::ServerErrorCode(65023), static_cast<std::int32_t>(0x8004FFFFu));
  EXPECT_EQ(target_code::ServerErrorCode(0), std::nullopt);
  EXPECT_EQ(target_code::ServerErrorCode(65024), std::nullopt);
  EXPECT_EQ(target_code::ServerErrorCode(-5), std::nullopt);
}

TEST(TargetError, OnlyItsOwnCodeMeansALostConnection) {
  EXPECT_TRUE(TargetError(target_code::kConnectionLost).ConnectionLost());
  EXPECT_FALSE(TargetError(target_code::kUnspecified).ConnectionLost());
  EXPECT_FALSE(TargetError(target_code::kServerErrorBase + 911).ConnectionLost());
}

}  // namespace
}  // namespace morvane
