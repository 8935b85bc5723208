#pragma once

// The files the driver hands the ACP stand-in, named in the environment of
// the program under test: the scenario, the event clock (the index of the
// event being played) and the observatory log. Shared by both tools.
#include <fstream>
#include <sstream>
#include <string>

namespace orvan::wine {

inline constexpr wchar_t kScenarioVariable[] = L"ORVAN_STANDIN_SCENARIO";
inline constexpr wchar_t kLogVariable[] = L"ORVAN_STANDIN_LOG";
inline constexpr wchar_t kClockVariable[] = L"ORVAN_STANDIN_CLOCK";

// The whole file; "" when it can't be read.
inline std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace orvan::wine
