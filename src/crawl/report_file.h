// The report file both front ends write: the link section of the registry followed by the advisory
// section, as CR LF text records. A file that cannot be written is reported, never half-claimed.
#pragma once

#include <ostream>
#include <string>

namespace quill {

void WriteReport(std::ostream& file);

// Creates or truncates the file at path and writes the report into it. Returns "" on success,
// else why the file could not be written (the registry and the advisories are left untouched).
std::string SaveReport(const std::string& path);

}  // namespace quill
