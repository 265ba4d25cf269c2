// The main window's parts on the live crawl components, shared by the desktop program and the
// screenshot tool so both wire the window the same way.
#pragma once

#include <utility>

#include "live/live_services.h"
#include "ui/about_window.h"
#include "ui/main_form.h"
#include "ui/tip_window.h"

namespace quill::ui {

inline MainFormParts LiveMainFormParts(LiveComponents& live, SystemInfoLauncher systemInfo) {
    return MainFormParts{
        live.Clock(),
        [&live](platform::Sleeper& sleeper, platform::EventPump& pump) {
            return live.Services(sleeper, pump);
        },
        [&live](platform::BrowserObserver* observer) { live.Browser().SetObserver(observer); },
        DefaultTipsFilePath(),
        std::move(systemInfo),
    };
}

}  // namespace quill::ui
