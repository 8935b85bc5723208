#pragma once

#include <functional>
#include <memory>
#include <string>

#include "observatory/automation.h"

namespace orvan::transcript {

// An observatory whose every access (create, get, put, call) is also written
// as a transcript line, then passed on unchanged: answers, by-reference
// results and errors alike.
std::unique_ptr<AutomationFactory> Traced(AutomationFactory& observatory,
                                          std::function<void(const std::string&)> out);

}  // namespace orvan::transcript
