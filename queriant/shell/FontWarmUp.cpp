// SPDX-License-Identifier: MIT
#include "FontWarmUp.h"

#include <dlfcn.h>
#include <system_error>

namespace {

// fontconfig comes into the process with Qt's GUI library; looked up rather than linked so
// that the build needs no fontconfig headers, and skipped where it is missing. Its
// configuration is process-wide and safe to load from any thread: Qt's font database finds it
// loaded, or loads its own if it comes first and the later one is dropped.
void loadFontConfiguration() {
    using TFcInit = int (*)();
    if (auto init = reinterpret_cast<TFcInit>(dlsym(RTLD_DEFAULT, "FcInit")))
        init();
}

} // namespace

TFontWarmUp::TFontWarmUp() {
    // At normal priority on purpose: on a busy machine a low-priority thread hardly ran before
    // the dialog needed the fonts, and the process lost its second share of processor time.
    try {
        m_thread = std::thread(loadFontConfiguration);
    } catch (const std::system_error &) {
        // Without a thread the first text laid out loads it.
    }
}

TFontWarmUp::~TFontWarmUp() {
    Wait();
}

void TFontWarmUp::Wait() {
    if (m_thread.joinable())
        m_thread.join();
}
