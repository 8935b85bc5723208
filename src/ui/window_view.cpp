#include "ui/window_view.h"

#include <charconv>

namespace orvan {
namespace {
constexpr std::string_view kLead = "Run-time error ";
constexpr std::string_view kGap = ":\n\n";
}  // namespace

std::string_view EventName(Event e) {
  switch (e) {
    case Event::Load:
      return "load";
    case Event::Click:
      return "click";
    case Event::Tick:
      return "tick";
    case Event::Close:
      return "close";
  }
  return "?";
}

std::string ErrorReportText(const Error& error) {
  return std::string(kLead) + HexNumber(error.number()) + std::string(kGap) + error.description();
}

bool ParseErrorReportText(std::string_view text, Error& error) {
  // "Run-time error 0x" and eight hex digits, then the gap and the description.
  constexpr std::size_t kNumber = 10;
  if (text.substr(0, kLead.size()) != kLead) return false;
  text.remove_prefix(kLead.size());
  if (text.size() < kNumber + kGap.size() || text.substr(0, 2) != "0x" ||
      text.substr(kNumber, kGap.size()) != kGap)
    return false;
  std::uint32_t number = 0;
  const char* first = text.data() + 2;
  const char* last = text.data() + kNumber;
  const auto r = std::from_chars(first, last, number, 16);
  if (r.ec != std::errc() || r.ptr != last) return false;
  error = Error(number, std::string(text.substr(kNumber + kGap.size())));
  return true;
}

}  // namespace orvan
