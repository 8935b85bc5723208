#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// An INDI alignment database as libindi writes it: the head, one entry (its
// right ascension and vector z given; the entry starts on the head's line 4,
// its right ascension on line 6) and the tail.
inline constexpr const char* kIndiHead =
    "<INDIAlignmentDatabase>\n   <DatabaseReferenceLocation latitude='52.5' longitude='13.25'/>\n"
    "   <DatabaseEntries>\n";
inline constexpr const char* kIndiTail = "   </DatabaseEntries>\n</INDIAlignmentDatabase>\n";

inline std::string IndiEntry(const std::string& ra, const std::string& z) {
  return "<DatabaseEntry>\n<ObservationJulianDate>2461383.5</"
         "ObservationJulianDate>\n<RightAscension>" +
         ra + "</RightAscension>\n<Declination>20:15:00</Declination>\n" +
         "<TelescopeDirectionVectorX>0.868163</TelescopeDirectionVectorX>\n" +
         "<TelescopeDirectionVectorY>-0.359605</TelescopeDirectionVectorY>\n" +
         "<TelescopeDirectionVectorZ>" + z + "</TelescopeDirectionVectorZ>\n</DatabaseEntry>\n";
}

// A folder of that name there, made afresh.
inline std::string PointFolder(const std::string& name) {
  const std::filesystem::path dir =
      std::filesystem::path(testing::TempDir()) / "orvan_points" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

// A file of `content` in the test's own temporary folder; its path.
inline std::string WritePointFile(const std::string& name, const std::string& content) {
  // A folder of this process's own: ctest runs tests side by side, each in a
  // process, and two writing one name would read each other's file.
  const std::filesystem::path dir =
      std::filesystem::path(testing::TempDir()) / ("orvan_points_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << content;
  return path;
}
