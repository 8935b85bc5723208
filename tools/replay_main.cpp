// orvanacp-replay SCENARIO: plays a scenario against the program's own window
// and tracking logic and a scripted observatory; prints the transcript.
#include <fstream>
#include <iostream>
#include <sstream>

#include "replay/player.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: orvanacp-replay SCENARIO\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 2;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::vector<orvan::replay::Step> steps;
  try {
    steps = orvan::replay::ParseScenario(text.str());
  } catch (const orvan::replay::ScenarioError& e) {
    std::cerr << e.what() << '\n';
    return 2;
  }
  orvan::replay::Play(steps, [](const std::string& line) { std::cout << line << '\n'; });
  std::cout.flush();
  return std::cout ? 0 : 1;
}
