#include "model/small_xml.h"

#include <algorithm>
#include <cctype>

#include "points/text_fields.h"
#include "support/ascii.h"

namespace orvan::model {
namespace {

// Nesting deeper than any file a reader expects is refused, not recursed into.
constexpr int kDeepest = 32;

class Parser {
 public:
  Parser(std::string_view text, const std::string& source) : text_(text), source_(source) {}

  XmlElement Document() {
    SkipMisc();
    if (!Peek("<")) Fail("no root element");
    XmlElement root = Element(0);
    SkipMisc();
    if (at_ < text_.size()) Fail("text after the root element </" + root.name + ">");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    points::Fail(source_, line_, "XML: " + what);
  }

  bool Peek(std::string_view s) const { return text_.substr(at_, s.size()) == s; }

  void Advance(std::size_t n) {
    for (std::size_t end = std::min(at_ + n, text_.size()); at_ < end; ++at_)
      if (text_[at_] == '\n') ++line_;
  }

  void SkipTo(std::string_view end, const std::string& what) {
    const auto found = text_.find(end, at_);
    if (found == std::string_view::npos) Fail("unterminated " + what);
    Advance(found + end.size() - at_);
  }

  void SkipBlanks() {
    while (at_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
      Advance(1);
  }

  // Blanks, comments and processing instructions (the declaration).
  void SkipMisc() {
    for (;;) {
      SkipBlanks();
      if (Peek("<!--"))
        SkipTo("-->", "comment");
      else if (Peek("<?"))
        SkipTo("?>", "declaration");
      else
        return;
    }
  }

  std::string Name() {
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[at_])) ||
            std::string_view("_-.:").find(text_[at_]) != std::string_view::npos))
      Advance(1);
    if (at_ == start) Fail("expected a name");
    return std::string(text_.substr(start, at_ - start));
  }

  std::string Decoded(std::string_view raw) const {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
      if (raw[i] != '&') {
        out += raw[i++];
        continue;
      }
      const auto entity =
          std::find_if(std::begin(kEntities), std::end(kEntities),
                       [&](const auto& e) { return raw.substr(i, e.first.size()) == e.first; });
      if (entity == std::end(kEntities))
        Fail("unknown entity at \"" + std::string(raw.substr(i, 8)) + "\"");
      out += entity->second;
      i += entity->first.size();
    }
    return out;
  }

  void Attributes(XmlElement& e) {
    for (;;) {
      SkipBlanks();
      if (at_ >= text_.size()) Fail("unterminated tag <" + e.name);
      if (Peek(">") || Peek("/>")) return;
      std::string name = Name();
      SkipBlanks();
      if (!Peek("=")) Fail("attribute " + name + " has no value");
      Advance(1);
      SkipBlanks();
      if (at_ >= text_.size() || (text_[at_] != '\'' && text_[at_] != '"'))
        Fail("attribute " + name + ": value not in quotes");
      const char quote = text_[at_];
      const auto end = text_.find(quote, at_ + 1);
      if (end == std::string_view::npos) Fail("attribute " + name + ": unterminated value");
      std::string value = Decoded(text_.substr(at_ + 1, end - at_ - 1));
      Advance(end + 1 - at_);
      e.attributes.emplace_back(std::move(name), std::move(value));
    }
  }

  XmlElement Element(int depth) {
    if (depth > kDeepest) Fail("elements nested too deep");
    XmlElement e;
    e.line = line_;
    Advance(1);  // '<'
    e.name = Name();
    Attributes(e);
    if (Peek("/>")) {
      Advance(2);
      return e;
    }
    Advance(1);  // '>'
    Content(e, depth);
    return e;
  }

  void Content(XmlElement& e, int depth) {
    for (;;) {
      const auto open = text_.find('<', at_);
      if (open == std::string_view::npos) Fail("<" + e.name + "> is not closed");
      e.text += Decoded(text_.substr(at_, open - at_));
      Advance(open - at_);
      if (Peek("<!--")) {
        SkipTo("-->", "comment");
      } else if (Peek("</")) {
        Advance(2);
        const std::string name = Name();
        SkipBlanks();
        if (name != e.name) Fail("</" + name + "> closes <" + e.name + ">");
        if (!Peek(">")) Fail("expected '>' after </" + name);
        Advance(1);
        return;
      } else {
        e.children.push_back(Element(depth + 1));
      }
    }
  }

  std::string_view text_;
  const std::string& source_;
  std::size_t at_ = 0;
  int line_ = 1;
};

}  // namespace

const std::string* XmlElement::Attribute(std::string_view attribute) const {
  for (const auto& [name, value] : attributes)
    if (name == attribute) return &value;
  return nullptr;
}

const XmlElement* XmlElement::Child(std::string_view child) const {
  for (const XmlElement& c : children)
    if (c.name == child) return &c;
  return nullptr;
}

XmlElement ParseXml(std::string_view text, const std::string& source) {
  return Parser(text, source).Document();
}

}  // namespace orvan::model
