#include "driver/output.h"

#include <cstdio>
#include <fstream>

#include "standin_files.h"
#include "support/wide.h"

namespace orvan::wine {

void Out(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool LoadScenario(const std::wstring& path, std::vector<replay::Step>& steps) {
  try {
    steps = replay::ParseScenario(ReadAll(path));
    return true;
  } catch (const replay::ScenarioError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
}

void WriteAtomically(const std::wstring& path, const std::string& text) {
  const std::wstring tmp = path + L".tmp";
  {
    std::ofstream out(tmp.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace orvan::wine
