// The one setting that outlives the program: "Show Tips at Startup" in group "Options" of the
// application's per-user settings (QSettings, INI format, application "Quillorbane"). Tests point
// QSettings::setPath at a temporary directory before touching it.
#pragma once

#include <QString>

namespace quill::ui {

// The stored value as a number: 1 when absent or not a number.
int ReadShowTipsAtStartup();
// Stores "1" or "0", written at once.
void WriteShowTipsAtStartup(bool show);
// The stored text, or a null string when absent (for tests and diagnostics).
QString StoredShowTipsAtStartup();

}  // namespace quill::ui
