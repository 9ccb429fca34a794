// Card reader control: the process-wide reader state, opening and closing the
// reader, and the two worker threads that turn library events into field texts.
#ifndef STRIPEWELL_READER_READER_H
#define STRIPEWELL_READER_READER_H

#include "../port/platform.h"

// Reader state. The user-interface thread writes these; the workers read them on
// every cycle without a lock. Each is one aligned machine word, read and written
// whole, and volatile so that no compiler keeps it in a register across a loop.

// The card test dialog most recently initialised; never cleared.
extern HWND volatile g_hCardDlg;
// Handles of the events "MCREventReading" and "MCREventAPO"; replaced at every
// open and never closed.
extern HANDLE volatile g_hReadEvent;
extern HANDLE volatile g_hApoEvent;
// Handles of the swipe read worker and the power-off worker. 0 means no worker,
// or that the worker is asked to stop at the end of its current cycle.
extern HANDLE volatile g_hReadThread;
extern HANDLE volatile g_hApoThread;

// One row of the track table: a track as MCRRead delivers it and the dialog shows it.
struct TrackSlot
{
    LPCWSTR pszName;   // "ISO1", "ISO2", "JIS2"
    int cbBuffer;      // bytes of the track's MCRRead buffer
    int nBufferArg;    // 1-based position of the buffer among MCRRead's arguments
    int nStatusArg;    // 1-based position of the status word among MCRRead's arguments
    int nFieldId;      // the card test dialog's field for this track
};

#define TRACK_COUNT 3
// The tracks in display order: ISO1, ISO2, JIS2.
extern const TrackSlot g_TrackSlots[TRACK_COUNT];

// Creates the two named events, logs the library status and opens the reader for
// hDlg. TRUE when the reader is open. Nothing is undone on failure.
BOOL ReaderOpen(HWND hDlg);
// Resumes and closes the reader and closes and clears both worker handles, which
// asks the workers to stop after their next cycle. Always TRUE.
BOOL ReaderClose(void);
// Starts each worker whose handle is 0; a worker still recorded is not started again.
void StartReaderWorkers(void);

// Worker thread routines; the parameter is 0 and ignored. They return 0 when they
// find their own handle cleared at the end of a cycle.
DWORD WINAPI SwipeThreadProc(LPVOID lpParameter);
DWORD WINAPI ApoThreadProc(LPVOID lpParameter);

// Writes the n bytes of pData as 2n characters of "%2X" pairs (a byte below 0x10
// shows as a space and one digit) and a terminator; pszText holds 2n + 1 characters.
void FormatTrackHex(const BYTE *pData, int n, LPWSTR pszText);

#endif // STRIPEWELL_READER_READER_H
