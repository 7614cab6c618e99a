// The one thread that talks to the display component. It owns a
// single-threaded apartment and the component's object. Its work waits in a
// queue that the user-interface thread fills; a wake message posted to the
// worker's message-only window has it drained. The message carries nothing,
// so a message loop run by the component (as COM runs one during its calls),
// or a message from another program, can neither lose work nor forge it.
#pragma once

#include "api/ApplyRecord.h"

#include <windows.h>

#include <memory>

DWORD WINAPI ApiWorkerThreadProc(LPVOID);

// Queues WM_APP_API_START, WM_APP_API_APPLY (with its record),
// WM_APP_API_REFRESH or WM_APP_API_SHUTDOWN behind the work already queued.
// False when the worker has ended or is shutting down; the record is then
// deleted. Work queued before the worker is ready waits for it.
bool QueueApiWork(UINT work, std::unique_ptr<ApplyRecord> record = nullptr);

// Ends the worker: the work already queued reaches the component within
// queuedWorkMs (what is still waiting then is dropped), then SetEnabled(0),
// Stop and the release get stopMs. Meanwhile this thread answers the
// messages sent to its windows, and nothing else, so that a component reading
// them finishes at once. Closes the worker's thread handle.
void StopApiWorker(DWORD queuedWorkMs, DWORD stopMs);
