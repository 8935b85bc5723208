#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "observatory/program/astro.h"

namespace orvan::program {

// Pointing-model terms from a file (format in docs/pointing-model.md): one
// term a line, "IH 95", in arc-seconds; '#' starts a comment. Raises
// orvan::Error(errors::kModelFileError, "pointing model FILE, line N: ...") for an
// unknown term, a bad number or a term given twice, and
// "pointing model FILE: cannot be read" when it cannot be opened.
PointingTerms LoadPointingModel(const std::string& path);
// The same from text already read; `source` names it in error messages.
PointingTerms ParsePointingModel(std::string_view text, std::string_view source);

}  // namespace orvan::program
