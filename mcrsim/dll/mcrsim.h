// Control interface of the simulated card reader library (MCRLIB.dll off the device):
// tests and tools put a card in the slot, power the reader off, make calls fail and read
// the journal of the calls the program made. The program itself never calls them.
#ifndef STRIPEWELL_MCRSIM_MCRSIM_H
#define STRIPEWELL_MCRSIM_MCRSIM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Tracks of a card, in display order.
enum { MCRSIM_ISO1 = 0, MCRSIM_ISO2 = 1, MCRSIM_JIS2 = 2, MCRSIM_TRACKS = 3 };
// The largest MCRRead buffer (ISO1); a track image holds at most this many bytes.
#define MCRSIM_TRACK_MAX 76
// MCRSimSetReadResult: let MCRRead decide its result as a reader would.
#define MCRSIM_NATURAL (-1)

// One track as the reader hands it over: its bytes and its status word
// (1 for a good track, an error code otherwise).
typedef struct MCRSimTrack
{
    BYTE abData[MCRSIM_TRACK_MAX];
    DWORD cbData;
    DWORD dwStatus;
} MCRSimTrack;

typedef struct MCRSimCard
{
    MCRSimTrack track[MCRSIM_TRACKS];
} MCRSimCard;

typedef struct MCRSimState
{
    BOOL fOpen;            // between a successful MCROpen and MCRClose
    BOOL fPowered;         // off after an automatic power-off, until MCRResume
    BOOL fNotify;          // the library sets the named events
    BOOL fCardWaiting;     // a swiped card not yet fetched by MCRRead
    int nApoTimeout;       // last MCRSetAutoPowerOff value; 0 is off
    HWND hOpenWindow;      // the window given to the last MCROpen
    DWORD dwSwipes;        // swipes delivered to the program (event set)
    DWORD dwReads;         // MCRRead calls
    DWORD dwPowerOffs;     // automatic power-offs
} MCRSimState;

// Back to the state of a freshly loaded library: closed, powered, no notification,
// no card, automatic power-off off, results natural, journal empty.
void MCRSimReset(void);

// Swipes a card through the reader. When the reader is open, powered and notifying,
// the card waits in the slot for MCRRead and "MCREventReading" is set: returns 1.
// Otherwise the swipe is lost, as on a real reader, and it returns 0.
int MCRSimSwipe(const MCRSimCard *pCard);

// Powers the reader off now, as its automatic power-off would; sets "MCREventAPO"
// when the reader is open and notifying. Returns 1 when the event was set.
int MCRSimPowerOff(void);

// The value MCROpen returns from now on (1 opens the reader, any other value fails).
void MCRSimSetOpenResult(int nResult);
// The value MCRRead returns from now on, or MCRSIM_NATURAL.
void MCRSimSetReadResult(int nResult);
// How long one unit of MCRSetAutoPowerOff's timeout lasts (1000 ms by default).
void MCRSimSetApoUnitMs(DWORD dwMs);

void MCRSimGetState(MCRSimState *pState);

// The mailbox (mailbox.h) answers the next request from another process dwMs later (at
// most a minute), as a Stripewell that is busy would: tests of clients that give up.
void MCRSimDelayNextMailboxReply(DWORD dwMs);

// The journal: one entry per library call, in order, with its arguments where it
// has any ("MCRSetAutoPowerOff(30)"); tests may add their own entries to it so that
// one list holds everything in the order it happened.
int MCRSimJournalCount(void);
// Copies entry i into pszEntry (cch characters); returns FALSE when there is none.
BOOL MCRSimJournalGet(int i, LPWSTR pszEntry, int cch);
void MCRSimJournalAppend(LPCWSTR pszEntry);
void MCRSimJournalClear(void);
// An auto-reset event set whenever an entry is added.
HANDLE MCRSimJournalEvent(void);

#ifdef __cplusplus
}
#endif

#endif // STRIPEWELL_MCRSIM_MCRSIM_H
