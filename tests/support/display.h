#pragma once
// Helpers for tests that run the built program on a real (virtual) X display:
// a private Xvfb server, background processes with bounded waits, window
// lookup, a close request as a window manager sends it, and screenshots.

#include "support/png.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Starts a virtual X server for this test process alone (other tests running
// at the same time open windows that would take the keyboard focus) and
// points DISPLAY at it. Started once, ended at exit. False when Xvfb cannot
// be started. The screen's size is the one display mode the program's
// launcher then offers; the size of the first call holds.
bool usePrivateDisplay(int width = 1280, int height = 1024);

// A program running in the background with its own working folder and extra
// environment ("NAME=value"). Standard output and error go to files.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& workingFolder,
            const std::vector<std::string>& environment = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return m_pid > 0; }
    bool running();
    // Waits at most slowed(`seconds`); true when the process ended (its status is
    // then in exitStatus()). A process still running is left running.
    bool waitFor(double seconds);
    // 0–255 for a normal exit, 128 + signal number for a signal.
    int exitStatus() const { return m_status; }
    void kill();
    std::string out() const;
    std::string err() const;
    // What a process that does not end is doing: its standard error and
    // every thread's stack, as gdb sees them, for a failure's message.
    std::string report() const;

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_outPath;
    std::string m_errPath;
};

// Seconds on a monotonic clock.
double monotonicSeconds();

// `seconds` as a bound on how long the program under test may take for
// something: the sanitizer builds run it several times slower, so there the
// bound is that many times longer. The waits below apply it themselves.
double slowed(double seconds);

// The first window whose title is exactly `title`, waiting at most
// slowed(`seconds`); 0 when none appears.
unsigned long waitForWindow(const std::string& title, double seconds);
bool windowExists(unsigned long window);
// Mapped, with every window above it: only such a window takes the focus.
bool windowViewable(unsigned long window);
// True for a window that bypasses the window manager, which is how the
// windowing library puts a full-screen window up on a display without one.
bool bypassesWindowManager(unsigned long window);

// Asks the window to close the way a window manager does on the close button
// or Alt-F4 (a WM_DELETE_WINDOW message).
bool requestClose(unsigned long window);

// Holds `key` (an X key name such as "Escape" or "Return") down for a moment
// in the window, which gets the keyboard focus first.
bool pressKey(unsigned long window, const std::string& key);

// The whole screen, bottom row first like every Image.
Image grabScreen();
