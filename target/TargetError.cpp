#include "target/TargetError.h"

#include <array>
#include <cstdio>
#include <utility>

namespace morvane {

namespace target_code {
std::optional<std::int32_t> ServerErrorCode(std::int64_t number) {
  if (number < 1 || number > kLargestServerError) return std::nullopt;
  return Code(0x80040200u + static_cast<std::uint32_t>(number));
}
}  // namespace target_code

namespace {

struct MessageEntry {
  std::int32_t code;
  const char* text;
};

// The operating system's texts for the standard codes the target side raises.
constexpr std::array kBuiltInMessages{
    MessageEntry{target_code::kNotImplemented, "Not implemented\r\n"},
    MessageEntry{target_code::kNoInterface, "No such interface supported\r\n"},
    MessageEntry{target_code::kInvalidPointer, "Invalid pointer\r\n"},
    MessageEntry{target_code::kAborted, "Operation aborted\r\n"},
    MessageEntry{target_code::kUnspecified, "Unspecified error\r\n"},
    MessageEntry{target_code::kUnexpected, "Catastrophic failure\r\n"},
    MessageEntry{target_code::kAccessDenied, "Access is denied.\r\n"},
    MessageEntry{target_code::kOutOfMemory,
                 "Not enough memory resources are available to complete this operation.\r\n"},
    MessageEntry{target_code::kInvalidArgument, "The parameter is incorrect.\r\n"},
    MessageEntry{target_code::kParameterNotFound, "Parameter not found.\r\n"},
    MessageEntry{target_code::kConnectionLost,
                 "The specified network name is no longer available.\r\n"},
    MessageEntry{target_code::kNotConnected, "This network connection does not exist.\r\n"},
    MessageEntry{target_code::kDriverMissing, "The specified module could not be found.\r\n"},
    MessageEntry{target_code::kNotFound, "Element not found.\r\n"},
};

class BuiltInMessageTable final : public SystemMessageSource {
 public:
  std::optional<std::string> Lookup(std::int32_t code) const override {
    for (const auto& entry : kBuiltInMessages) {
      if (entry.code == code) return std::string(entry.text);
    }
    return std::nullopt;
  }
};

std::string TextOrNull(const std::optional<std::string>& text) {
  return text ? *text : std::string("(null)");
}

}  // namespace

const SystemMessageSource& BuiltInSystemMessages() {
  static const BuiltInMessageTable table;
  return table;
}

std::string SystemMessageText(std::int32_t code, const SystemMessageSource& messages) {
  if (auto text = messages.Lookup(code)) {
    if (text->size() > 1 && text->back() == '\n') {
      text->pop_back();
      if (!text->empty() && text->back() == '\r') text->pop_back();
    }
    return std::move(*text);
  }
  const auto bits = static_cast<std::uint32_t>(code);
  std::uint32_t n = 0;
  if (bits >= 0x80040200u && bits <= 0x8004FFFFu) n = bits - 0x80040200u;
  std::array<char, 32> buffer{};
  if (n != 0) {
    std::snprintf(buffer.data(), buffer.size(), "IDispatch error #%u", n);
  } else {
    std::snprintf(buffer.data(), buffer.size(), "Unknown error 0x%0lX",
                  static_cast<unsigned long>(bits));
  }
  return buffer.data();
}

TargetError::TargetError(std::int32_t code, std::optional<std::string> source,
                         std::optional<std::string> description,
                         const SystemMessageSource& messages)
    : code_(code),
      source_(std::move(source)),
      description_(std::move(description)),
      messages_(&messages) {
  std::array<char, 16> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%08lX",
                static_cast<unsigned long>(static_cast<std::uint32_t>(code_)));
  summary_ = TextOrNull(source_) + " Error " + hex.data() + ": " + TextOrNull(description_);
}

const std::string& TargetError::SystemMessage() const {
  if (!systemMessage_) systemMessage_ = SystemMessageText(code_, *messages_);
  return *systemMessage_;
}

std::string FormatTargetError(const TargetError& error) {
  std::string report = "\n";
  report += TextOrNull(error.Source());
  report += " Error: ";
  report += std::to_string(error.Code());
  report += "\r\n";
  report += TextOrNull(error.Description());
  report += "\r\n";
  report += error.SystemMessage();
  report += "\r\n";
  return report;
}

}  // namespace morvane
