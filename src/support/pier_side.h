#pragma once

// The side of the pier a German equatorial mount stands on: Unknown where
// nobody says. The cycle log, the point CSV and the mount drivers share it.
namespace orvan {

enum class PierSide { Unknown, East, West };

}  // namespace orvan
