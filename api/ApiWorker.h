// The one thread that talks to the display component. It owns a
// single-threaded apartment and the component's object. Its work waits in a
// queue that the user-interface thread fills; a wake message posted to the
// worker's message-only window has it drained. The message carries nothing,
// so a message loop run by the component (as COM runs one during its calls),
// or a message from another program, can neither lose work nor forge it.
#pragma once

#include "api/ApplyRecord.h"

#include <windows.h>

#include <functional>
#include <memory>

// Its parameter is an event handle of its own, which it sets once its
// component is made (or cannot be), and closes.
DWORD WINAPI ApiWorkerThreadProc(LPVOID readyEvent);

// Queues WM_APP_API_START, WM_APP_API_APPLY (with its record),
// WM_APP_API_REFRESH or WM_APP_API_SHUTDOWN behind the work already queued.
// False when the worker has ended or is shutting down, also when it ended
// while the work was being queued; the record is then deleted. Work queued
// before the worker is ready waits for it.
bool QueueApiWork(UINT work, std::unique_ptr<ApplyRecord> record = nullptr);

// Runs task on the worker between two component calls, ahead of the work
// already queued, and waits up to waitMs for it, answering only the messages
// sent to this thread's windows. Without a running worker no component call
// can be made, and the task runs here at once. False when it did not run in
// time; it then still runs later.
bool RunBetweenComponentCalls(const std::function<void()>& task, DWORD waitMs);

// Ends the worker: the work already queued reaches the component within
// queuedWorkMs (what is still waiting then is dropped), then SetEnabled(0),
// Stop and the release get stopMs. Meanwhile this thread answers the
// messages sent to its windows, and nothing else, so that a component reading
// them finishes at once. Called again from such a message while a shutdown
// is under way (Windows ending the session during Exit), it starts no second
// one: it brings that one's bounds forward to its own and returns once the
// worker has ended or they have passed. The outermost call closes the
// worker's thread handle.
void StopApiWorker(DWORD queuedWorkMs, DWORD stopMs);

// Exit's bounds. The applies already queued get a generous time: they hold
// the choices the component alone keeps (tables, multiline). Then the
// component gets a bounded time to stop.
inline constexpr DWORD kQueuedWorkWaitMs = 60000;
inline constexpr DWORD kWorkerShutdownWaitMs = 5000;
