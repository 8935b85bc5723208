#include "replay/scenario.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvan::replay {
namespace {

struct BadValue {
  std::string message;
};

std::vector<std::string_view> SplitSpaces(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i <= s.size()) {
    const std::size_t j = s.find(' ', i);
    const std::size_t end = j == std::string_view::npos ? s.size() : j;
    out.push_back(s.substr(i, end - i));
    if (j == std::string_view::npos) break;
    i = j + 1;
  }
  return out;
}

bool ParseInteger(std::string_view s, long long& out) {
  if (s.empty()) return false;
  const char* b = s.data();
  const char* e = s.data() + s.size();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, e, out);
  return r.ec == std::errc() && r.ptr == e;
}

// C strtod form, in any locale, plus nan, inf and -inf.
bool ParseDouble(std::string_view s, double& out) {
  if (s == "nan") return out = std::numeric_limits<double>::quiet_NaN(), true;
  if (s == "inf") return out = std::numeric_limits<double>::infinity(), true;
  if (s == "-inf") return out = -std::numeric_limits<double>::infinity(), true;
  if (s.empty()) return false;
  std::string_view body = s;
  bool negative = false;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (body.empty() || body.front() == '+' || body.front() == '-') return false;
  auto fmt = std::chars_format::general;
  if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    body.remove_prefix(2);
    fmt = std::chars_format::hex;
  }
  double v = 0;
  auto r = std::from_chars(body.data(), body.data() + body.size(), v, fmt);
  if (r.ptr != body.data() + body.size()) return false;
  if (r.ec == std::errc::result_out_of_range) {
    // As strtod: huge values become infinite, tiny ones zero.
    v = std::strtod(std::string(body).c_str(), nullptr);
  } else if (r.ec != std::errc()) {
    return false;
  }
  out = negative ? -v : v;
  return true;
}

std::string ParseQuoted(std::string_view s) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') throw BadValue{"expected a quoted text"};
  std::string out;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    char c = s[i];
    if (c == '\\') {
      if (i + 2 >= s.size() || (s[i + 1] != '"' && s[i + 1] != '\\'))
        throw BadValue{"bad escape in text"};
      c = s[++i];
    } else if (c == '"') {
      throw BadValue{"unescaped quote in text"};
    }
    out += c;
  }
  return out;
}

Value ParseValueOrThrow(std::string_view token) {
  if (token == "empty") return Value();
  if (token == "null") return Value::Null();
  const std::size_t colon = token.find(':');
  if (colon == std::string_view::npos) throw BadValue{"unknown value '" + std::string(token) + "'"};
  const std::string_view kind = token.substr(0, colon);
  const std::string_view body = token.substr(colon + 1);
  long long n = 0;
  if (kind == "bool") {
    if (body == "true") return Value::Bool(true);
    if (body == "false") return Value::Bool(false);
    if (!ParseInteger(body, n) || n < -32768 || n > 32767) throw BadValue{"bad bool value"};
    return Value::Bool(static_cast<std::int16_t>(n));
  }
  if (kind == "i2") {
    if (!ParseInteger(body, n) || n < -32768 || n > 32767) throw BadValue{"bad i2 value"};
    return Value::I2(static_cast<std::int16_t>(n));
  }
  if (kind == "i4") {
    if (!ParseInteger(body, n) || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max())
      throw BadValue{"bad i4 value"};
    return Value::I4(static_cast<std::int32_t>(n));
  }
  if (kind == "r8") {
    double d = 0;
    if (!ParseDouble(body, d)) throw BadValue{"bad r8 value"};
    return Value::R8(d);
  }
  if (kind == "str") return Value::Str(ParseQuoted(body));
  throw BadValue{"unknown value kind '" + std::string(kind) + "'"};
}

// Values are separated by single spaces, but a quoted text may hold spaces.
std::vector<std::string_view> SplitValues(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t j = i;
    bool quoted = false;
    for (; j < s.size(); ++j) {
      if (s[j] == '\\' && quoted) {
        ++j;
        continue;
      }
      if (s[j] == '"') quoted = !quoted;
      if (s[j] == ' ' && !quoted) break;
    }
    out.push_back(s.substr(i, j - i));
    i = j + 1;
    if (j == s.size() - 1) out.emplace_back();  // trailing space
  }
  return out;
}

bool SplitTarget(std::string_view target, std::string& object, std::string& member) {
  const std::size_t dot = target.find('.');
  if (dot == std::string_view::npos) return false;
  object = std::string(target.substr(0, dot));
  member = std::string(target.substr(dot + 1));
  return (object == "Telescope" || object == "Util") && !member.empty();
}

std::uint32_t ParseErrorNumber(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    unsigned long long v = 0;
    auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, 16);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v > 0xFFFFFFFFull)
      throw BadValue{"bad error number"};
    return static_cast<std::uint32_t>(v);
  }
  long long v = 0;
  if (!ParseInteger(s, v) || v < std::numeric_limits<std::int32_t>::min() || v > 0xFFFFFFFFll)
    throw BadValue{"bad error number"};
  return static_cast<std::uint32_t>(v);
}

// One scenario line being parsed: its directive's word, the rest of the line
// and that rest's space-separated arguments.
struct Line {
  int number;
  std::string_view word;
  std::string_view rest;
  bool has_rest;  // a space follows the word, even with nothing after it
  std::vector<std::string_view> args;
  bool& loaded;  // the program's load has been played
  Step& step;

  [[noreturn]] void Fail(const std::string& message) const { throw ScenarioError(number, message); }
};

void ParseDecimal(Line& l) {
  if (l.loaded) l.Fail("decimal comes only before load");
  if (l.rest.size() != 1) l.Fail("decimal takes one character");
  l.step.decimal = l.rest[0];
}

void ParseMapping(Line& l, std::string_view values) {
  l.step.type = Step::Type::AnswerMapping;
  const auto nums = SplitSpaces(values);
  if (nums.size() % 2 != 0) l.Fail("MapIdealToRawEqu answers come in pairs");
  for (std::size_t i = 0; i < nums.size(); i += 2) {
    double ra = 0, dec = 0;
    if (!ParseDouble(nums[i], ra) || !ParseDouble(nums[i + 1], dec)) l.Fail("bad number");
    l.step.pairs.emplace_back(ra, dec);
  }
}

void ParseAnswer(Line& l) {
  if (l.args.size() < 2) l.Fail("answer needs a member and at least one value");
  if (!SplitTarget(l.args[0], l.step.object, l.step.member)) l.Fail("unknown object member");
  const std::string_view values = l.rest.substr(l.args[0].size() + 1);
  if (l.step.object == "Util" && l.step.member == "MapIdealToRawEqu")
    return ParseMapping(l, values);
  for (std::string_view v : SplitValues(values)) l.step.values.push_back(ParseValueOrThrow(v));
}

void ParseRaise(Line& l) {
  if (l.args.size() < 2) l.Fail("raise needs a member and a number");
  if (!SplitTarget(l.args[0], l.step.object, l.step.member)) l.Fail("unknown object member");
  l.step.number = ParseErrorNumber(l.args[1]);
  const std::size_t skip = l.args[0].size() + 1 + l.args[1].size() + 1;
  l.step.text = skip <= l.rest.size() ? std::string(l.rest.substr(skip)) : "";
}

void ParseNoCreate(Line& l) {
  if (l.args.size() != 1 || l.args[0].empty()) l.Fail("nocreate needs a programmatic identifier");
  l.step.text = std::string(l.args[0]);
}

void ParseNest(Line& l) {
  if (l.args.size() != 2) l.Fail("nest needs a member and an event");
  if (l.args[0] == kMsgBoxNest) {
    l.step.object = std::string(kMsgBoxNest);
  } else if (!SplitTarget(l.args[0], l.step.object, l.step.member)) {
    l.Fail("unknown object member");
  }
  if (l.args[1] != "click" && l.args[1] != "tick") l.Fail("nest takes click or tick");
  l.step.text = std::string(l.args[1]);
}

void ParseLoad(Line& l) {
  if (!l.rest.empty()) l.Fail("load takes nothing");
  if (l.loaded) l.Fail("the program is already loaded");
  l.loaded = true;
}

void ParseType(Line& l) {
  if (!l.has_rest) l.Fail("type needs a text box");
  const std::size_t sp = l.rest.find(' ');
  const controls::Control* box = controls::Find(l.rest.substr(0, sp));
  if (box == nullptr || box->kind != controls::Kind::TextBox)
    l.Fail("type needs a text box Text1 to Text11");
  l.step.box = box->id;
  l.step.text = sp == std::string_view::npos ? "" : std::string(l.rest.substr(sp + 1));
}

// click, tick, close and dump.
void ParseBareEvent(Line& l) {
  if (!l.rest.empty()) l.Fail(std::string(l.word) + " takes nothing");
}

struct Directive {
  std::string_view word;
  Step::Type type;
  void (*parse)(Line&);
};

constexpr std::array kDirectives{
    Directive{"decimal", Step::Type::Decimal, ParseDecimal},
    Directive{"answer", Step::Type::Answer, ParseAnswer},
    Directive{"raise", Step::Type::Raise, ParseRaise},
    Directive{"nocreate", Step::Type::NoCreate, ParseNoCreate},
    Directive{"nest", Step::Type::Nest, ParseNest},
    Directive{"load", Step::Type::Load, ParseLoad},
    Directive{"type", Step::Type::TypeText, ParseType},
    Directive{"click", Step::Type::Click, ParseBareEvent},
    Directive{"tick", Step::Type::Tick, ParseBareEvent},
    Directive{"close", Step::Type::Close, ParseBareEvent},
    Directive{"dump", Step::Type::Dump, ParseBareEvent},
};

// One line that is neither blank nor a comment, as a step.
Step ParseLine(std::string_view text, int number, bool& loaded) {
  Step step;
  step.line = number;
  const std::size_t sp = text.find(' ');
  const std::string_view rest = sp == std::string_view::npos ? "" : text.substr(sp + 1);
  Line line{
      number, text.substr(0, sp), rest, sp != std::string_view::npos, SplitSpaces(rest), loaded,
      step};
  const auto directive = std::ranges::find(kDirectives, line.word, &Directive::word);
  if (directive == kDirectives.end())
    line.Fail("unknown directive or event '" + std::string(line.word) + "'");
  step.type = directive->type;
  try {
    directive->parse(line);
  } catch (const BadValue& b) {
    line.Fail(b.message);
  }
  if (step.IsEvent() && !loaded) line.Fail("an event before load");
  return step;
}

}  // namespace

std::vector<Step> ParseScenario(std::string_view text) {
  std::vector<Step> steps;
  bool loaded = false;
  int line_no = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() != '#') steps.push_back(ParseLine(line, line_no, loaded));
    if (nl == text.size()) break;
  }
  return steps;
}

}  // namespace orvan::replay
