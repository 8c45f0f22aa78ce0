// SPDX-License-Identifier: MIT
// Loads the font configuration on a thread of its own. It is the largest single cost between
// the start of the process and its first dialog, and the first text laid out waits for it;
// started before the application object, it runs while the display connection and the
// platform plug-in are set up.
#pragma once

#include <thread>

class TFontWarmUp {
public:
    TFontWarmUp();
    // Waits for the thread.
    ~TFontWarmUp();

    TFontWarmUp(const TFontWarmUp &) = delete;
    TFontWarmUp &operator=(const TFontWarmUp &) = delete;

    // Waits for the thread; call it before the application object goes, whose font database
    // frees the configuration.
    void Wait();

private:
    std::thread m_thread;
};
