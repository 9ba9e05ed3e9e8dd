#pragma once

#include <functional>

// Ends the program in order when the desktop session ends or a signal asks it to, so that
// nothing the user typed is lost with the process.
namespace SessionEnd {

// Call once the main window has loaded. save: writes what must outlive the program.
// closeMainWindow: closes the main window, which saves as well.
// - The session manager's request to save (at logout): save() at once; the logout may still
//   be cancelled, so nothing is closed.
// - SIGTERM, SIGHUP and SIGINT: read through the event loop, not in the signal handler; then
//   the main window is closed and the program quits, leaving any open modal window. A second
//   signal ends the program at once.
void install(std::function<void()> save, std::function<void()> closeMainWindow);

} // namespace SessionEnd
