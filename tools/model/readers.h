#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/points.h"

// One reader per format (docs/point-formats.md); ReadPoints picks one.
namespace orvan::model {

std::vector<Point> ReadTpointFile(std::string_view text, const std::string& source,
                                  const ReadOptions& options);
std::vector<Point> ReadIndiDatabase(std::string_view text, const std::string& source,
                                    const ReadOptions& options);
// Adds to `unused` the air settings the file's own columns give way to.
std::vector<Point> ReadPointCsv(std::string_view text, const std::string& source,
                                const ReadOptions& options, std::vector<UnusedSetting>& unused);

}  // namespace orvan::model
