#pragma once

#include "support/temp_folder.h"

namespace orvan {

// A private folder for a test, removed with everything in it.
using TempDir = TempFolder;

}  // namespace orvan
