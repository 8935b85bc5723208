#pragma once

#include <memory>
#include <string>

#include "intake/win32/plate_folder.h"
#include "tracking/plate_intake.h"

// The frames' news on the program's thread: a window of messages alone that
// the folder watch posts to, handing what it found to the intake; while
// frames wait for a reading, a look each second. The cycle never waits.
namespace orvan::intake {

class PlateWatch {
 public:
  PlateWatch(PlateFolderConfig config, tracking::PlateIntake& intake);
  ~PlateWatch();
  PlateWatch(const PlateWatch&) = delete;
  PlateWatch& operator=(const PlateWatch&) = delete;

  // False, with `error`, where the watch cannot start.
  bool Start(std::string& error);
  // The watch stopped; what could not be, said (empty where all stopped).
  std::string Stop();
  // What the watch found, taken in; from the window's messages.
  void Take();

 private:
  tracking::PlateIntake& intake_;
  void* window_ = nullptr;  // HWND
  std::unique_ptr<PlateFolder> folder_;
  PlateFolderConfig config_;
};

}  // namespace orvan::intake
