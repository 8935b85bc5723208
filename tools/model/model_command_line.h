#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/points.h"

// orvanacp-model's command line: `fit DATA...` and `check MODEL DATA...`,
// from one table of options.
namespace orvan::model {

enum class Command { Fit, Check };

struct ModelOptions {
  Command command = Command::Fit;
  std::vector<std::string> data;   // the point files
  std::string model;               // check: the model judged
  std::vector<std::size_t> terms;  // fit: indices into pointing::Terms()
  std::optional<double> reject_sigma;
  ReadOptions read;
  std::vector<ReadSetting> given;        // the settings of `read` the command line gave
  std::optional<std::string> output;     // fit: the model file written
  std::optional<std::string> residuals;  // the residuals as CSV
  std::optional<std::string> plot;       // the residuals drawn, .png or .svg
  bool help = false;
  bool version = false;
};

struct ParsedModelCommand {
  ModelOptions options;
  std::string error;  // empty when the command line is good
};

// The arguments after the program's name.
ParsedModelCommand ParseModelCommand(std::span<const std::string_view> args);

std::string ModelUsage();

// The option that gives a reading setting ("--latitude").
std::string_view OptionOf(ReadSetting setting);

// Empty, or why the outputs cannot be written: one names an input (a data
// file, the model checked) or another output, as the file system sees them.
// Told before anything is read.
std::string OutputClash(const ModelOptions& o);

}  // namespace orvan::model
