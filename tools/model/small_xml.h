#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Just enough XML for the files point readers meet (INDI's alignment
// database): elements, attributes, text, the five predefined entities,
// comments and the declaration. Each element keeps its line for messages.
namespace orvan::model {

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;  // the element's own text, entities replaced
  std::vector<XmlElement> children;
  int line = 0;

  // The attribute or child named so, or null.
  const std::string* Attribute(std::string_view attribute) const;
  const XmlElement* Child(std::string_view child) const;
};

// The root element of `text`; malformed XML fails (PointError) naming the
// line.
XmlElement ParseXml(std::string_view text, const std::string& source);

}  // namespace orvan::model
