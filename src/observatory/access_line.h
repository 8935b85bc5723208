#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "observatory/automation.h"
#include "support/error.h"

// The transcript's observatory lines, written in one place for everything
// that writes them: the replay tool, the scripted observatory, the Windows
// end-to-end tools and the program's trace of observatory accesses.
namespace orvan::transcript {

// "Telescope" for "ACP.Telescope", "Util" for "ACP.Util"; "" for any other.
std::string_view ObjectName(std::string_view prog_id);

// One observatory access, begun before it is made and finished with how it
// ended: `create ACP.Util`, `get Telescope.slewing -> bool:false`,
// `put Telescope.Connected bool:true`, `call Telescope.PulseGuide(i2:3,
// &r8:360)`, each possibly ending in ` !! 0x80040401 "Mount not responding"`.
class Access {
 public:
  static Access Create(std::string_view prog_id);
  static Access Get(std::string_view object, std::string_view member);
  static Access Put(std::string_view object, std::string_view member, const Value& value);
  static Access Call(std::string_view object, std::string_view member,
                     std::span<const Argument> args);

  // Create and put, done.
  std::string Done() const { return head_; }
  // A read and its answer.
  std::string Answered(const Value& answer) const;
  // A call returned: by-reference arguments that came back changed are shown
  // with their values after the call.
  std::string Returned(std::span<const Argument> args) const;
  std::string Raised(const Error& error) const;

 private:
  explicit Access(std::string head) : head_(std::move(head)) {}
  std::string head_;
  std::vector<double> before_;  // by-reference arguments as passed
};

}  // namespace orvan::transcript
