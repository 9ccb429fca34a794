// The device's card reader library, MCRLIB.dll, imported by plain name.
// These eight functions are all the program uses of it; any MCRLIB.dll that
// exports them works. Results are 32-bit integers, compared only with 0 or 1.
#ifndef STRIPEWELL_READER_MCRLIB_H
#define STRIPEWELL_READER_MCRLIB_H

#include <windows.h>

// Named auto-reset events that the program creates and the library sets:
// a swiped card is ready for MCRRead, and the reader powered itself off.
#define MCR_READING_EVENT_NAME L"MCREventReading"
#define MCR_APO_EVENT_NAME     L"MCREventAPO"

// MCRRead's buffer sizes in bytes, and the status that marks a track as read.
#define MCR_ISO1_BYTES 76
#define MCR_ISO2_BYTES 37
#define MCR_JIS2_BYTES 69
#define MCR_TRACK_OK   1

// Values for MCRSetAutoPowerOff.
#define MCR_APO_TIMEOUT 30
#define MCR_APO_OFF     0

#ifdef __cplusplus
extern "C" {
#endif

// A status word; the program only logs it.
DWORD MCRGetStatus(void);
// Opens the reader for the given window; 1 means open, anything else failure.
int MCROpen(HWND hWnd);
// Releases the reader.
int MCRClose(void);
// Fetches all three tracks of the swiped card into caller-owned, zeroed buffers
// and status words; returns 0 when the read failed as a whole. The fourth and
// eighth arguments are always 0.
int MCRRead(BYTE *pJis2, BYTE *pIso1, BYTE *pIso2, void *pReserved4,
            DWORD *pdwJis2Status, DWORD *pdwIso1Status, DWORD *pdwIso2Status,
            void *pReserved8);
// Makes the reader ready for the next card (and powers it on again).
int MCRResume(void);
// 0 when the library does not set the named events.
int MCRGetEventNotification(void);
// 1: from now on the library sets the named events.
int MCRSetEventNotification(int nEnable);
// MCR_APO_TIMEOUT switches automatic power-off on, MCR_APO_OFF switches it off.
int MCRSetAutoPowerOff(int nTimeout);

#ifdef __cplusplus
}
#endif

#endif // STRIPEWELL_READER_MCRLIB_H
