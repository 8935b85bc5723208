#pragma once

// The side file of an out-of-process scenario, NAME.standin: where the local
// server ends. Read by the stand-in, which ends there, and by the driver,
// which waits for that end before it plays an event the server must miss.
// One instruction a line:
//   exit-during OBJ.MEMBER N  the N-th access of that member is carried out
//                             (and logged), then the process ends unanswered
//   exit-before EVENT N       the process ends once the N-th EVENT (click,
//                             tick, type, close, dump) is being played
//   unregistered              for tools/wine-e2e: no class is registered
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "replay/scenario.h"

namespace orvan::wine {

struct Ending {
  std::string object, member;  // exit-during OBJ.MEMBER N
  int access = 0;
  int event = -1;                // exit-before EVENT N: the clock's value for that event
  std::vector<std::string> bad;  // lines not understood, numbered
};

// The clock's value while the n-th `keyword` event of `steps` is played; -1
// if none.
inline int EventIndex(const std::vector<replay::Step>& steps, const std::string& keyword, int n) {
  using Type = replay::Step::Type;
  static const std::map<std::string, Type> kEvents = {{"click", Type::Click},
                                                      {"tick", Type::Tick},
                                                      {"type", Type::TypeText},
                                                      {"close", Type::Close},
                                                      {"dump", Type::Dump}};
  const auto found = kEvents.find(keyword);
  if (found == kEvents.end()) return -1;
  int index = 0;
  for (const replay::Step& s : steps) {
    if (!s.IsEvent()) continue;
    if (s.type == found->second && --n == 0) return index;
    ++index;
  }
  return -1;
}

inline Ending ReadEnding(const std::string& text, const std::vector<replay::Step>& steps) {
  Ending ending;
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line == "unregistered") continue;
    std::istringstream words(line);
    std::string verb, what;
    int n = 0;
    words >> verb >> what >> n;
    const std::size_t dot = what.find('.');
    const int event = verb == "exit-before" && n > 0 ? EventIndex(steps, what, n) : -1;
    if (verb == "exit-during" && dot != std::string::npos && n > 0) {
      ending.object = what.substr(0, dot);
      ending.member = what.substr(dot + 1);
      ending.access = n;
    } else if (event >= 0) {
      ending.event = event;
    } else {
      ending.bad.push_back("side file line " + std::to_string(number) + ": " + line);
    }
  }
  return ending;
}

}  // namespace orvan::wine
