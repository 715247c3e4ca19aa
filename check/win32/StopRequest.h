// Ctrl+C and Ctrl+Break during a run. The system calls the handler on a thread of its own
// while the checks go on, so the handler only records the request, signals an event and says
// on standard error what happens next; the checks read the request between their steps on
// the run's thread, which alone calls the module. A second press ends the program at once,
// as it would without the handler.
#pragma once

namespace check::stop {

// From the start of the run to its end; after uninstall, Ctrl+C ends the program as usual.
void install() noexcept;
void uninstall() noexcept;

// The request as the handler makes it, for a Ctrl+C seen before the handler has run: a console
// read that it ended. The handler still takes its first press as the first.
void request() noexcept;

bool requested() noexcept;

// A manual-reset event, signalled by the first request; for waits that must not outlast it.
void* event() noexcept;

} // namespace check::stop
