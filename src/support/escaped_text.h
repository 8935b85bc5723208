#pragma once

#include <string>
#include <string_view>

// Text from outside (a file's name, a header's value) as a line of output
// may hold it: nothing in it can end the line, overwrite it, reorder it on a
// terminal, or break the UTF-8 that the program's output and log promise.
namespace orvan {

// `text` with every line end, control character (C0, DEL, C1), invalid
// UTF-8 byte and bidirectional or line-separating character written as an
// escape: \n, \r, \t, \xHH for a byte, \uHHHH for a character. Valid UTF-8
// otherwise passes as it is.
std::string PrintableText(std::string_view text);

// As PrintableText, and a double quote as \" and a backslash as \\, so that
// the result can stand between double quotes and be read back unambiguously.
std::string EscapedText(std::string_view text);

}  // namespace orvan
