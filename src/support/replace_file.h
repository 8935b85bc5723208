#pragma once

#include <string>
#include <string_view>

namespace orvan {

// Writes `text` as the whole of the file `path` (UTF-8), replacing it at
// once: the text goes to a new file in the same folder, which is flushed to
// the disk and then renamed over `path`. A reader, a crash or a failure on
// the way sees the old file whole or the new one whole, never a part; on
// failure the old file is left as it was and no temporary file stays.
// False, with the system's reason in `reason`, when it could not be done.
bool ReplaceFile(const std::string& path, std::string_view text, std::string& reason);

}  // namespace orvan
