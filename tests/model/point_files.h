#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "orvan_points";
  std::filesystem::create_directories(dir);
  std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << content;
  return path;
}
