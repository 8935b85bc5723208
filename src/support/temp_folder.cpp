#include "support/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/error_text.h"

namespace orvan {

TempFolder::TempFolder(std::string_view stem) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                        std::string(stem) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    error_ = "cannot make a temporary folder " + pattern + ": " + ErrorText(errno);
    return;
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace orvan
