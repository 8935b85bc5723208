#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pointing/terms.h"

namespace orvan::pointing {

// Pointing-model terms from a file (format in docs/pointing-model.md): one
// term a line, "IH 95", in arc-seconds; '#' starts a comment. Raises
// orvan::Error(errors::kModelFileError, "pointing model FILE, line N: ...")
// for an unknown term, a bad number or a term given twice, and
// "pointing model FILE: cannot be read" when it cannot be opened.
PointingTerms LoadPointingModel(const std::string& path);
// The same from text already read; `source` names it in error messages.
PointingTerms ParsePointingModel(std::string_view text, std::string_view source);

// What a written model file says besides its values.
struct ModelFileNotes {
  // Lines written first, each as a '#' comment.
  std::vector<std::string> header;
  // A standard error (arc-seconds) per term, written as a comment after the
  // value; none, none written.
  std::array<std::optional<double>, kTermCount> sigma{};
};

// The text of a model file holding every non-zero term, in Terms() order,
// with values written so that ParsePointingModel reads them back to the bit.
std::string FormatPointingModel(const PointingTerms& terms, const ModelFileNotes& notes = {});

}  // namespace orvan::pointing
