#include "observatory/access_line.h"

#include <bit>
#include <cstdint>

namespace orvan::transcript {
namespace {

std::string ArgText(const Argument& a) {
  return a.by_ref() ? "&" + Value::R8(*a.ref).ToString() : a.value.ToString();
}

std::string ArgList(std::span<const Argument> args) {
  std::string out = "(";
  for (std::size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + ArgText(args[i]);
  return out + ")";
}

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::string Target(std::string_view object, std::string_view member) {
  return std::string(object) + "." + std::string(member);
}

}  // namespace

std::string_view ObjectName(std::string_view prog_id) {
  if (prog_id == "ACP.Telescope") return "Telescope";
  if (prog_id == "ACP.Util") return "Util";
  return "";
}

Access Access::Create(std::string_view prog_id) {
  return Access("create " + std::string(prog_id));
}

Access Access::Get(std::string_view object, std::string_view member) {
  return Access("get " + Target(object, member));
}

Access Access::Put(std::string_view object, std::string_view member, const Value& value) {
  return Access("put " + Target(object, member) + " " + value.ToString());
}

Access Access::Call(std::string_view object, std::string_view member,
                    std::span<const Argument> args) {
  Access a("call " + Target(object, member) + ArgList(args));
  for (const Argument& arg : args) a.before_.push_back(arg.by_ref() ? *arg.ref : 0);
  return a;
}

std::string Access::Answered(const Value& answer) const {
  return head_ + " -> " + answer.ToString();
}

std::string Access::Returned(std::span<const Argument> args) const {
  for (std::size_t i = 0; i < args.size() && i < before_.size(); ++i)
    if (args[i].by_ref() && !SameBits(before_[i], *args[i].ref))
      return head_ + " -> " + ArgList(args);
  return head_;
}

std::string Access::Raised(const Error& error) const {
  return head_ + " !! " + HexNumber(error.number()) + " " + Quote(error.description());
}

}  // namespace orvan::transcript
