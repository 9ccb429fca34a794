// The platform as the program sees it: the Win32 headers plus, off the device, the
// declarations of the few services that only the handheld's system libraries have.
// reader/, dialogs/ and shell/ include this instead of <windows.h>, so they carry no
// desktop-only code; with the device's SDK the stand-ins below are not needed.
#ifndef STRIPEWELL_PORT_PLATFORM_H
#define STRIPEWELL_PORT_PLATFORM_H

#include <windows.h>

#ifndef UNDER_CE

// Kernel debug output. Formats like wsprintfW and writes the line, exactly as formatted,
// to OutputDebugStringW and to standard error as UTF-8, one whole line per write.
extern "C" void NKDbgPrintfW(LPCWSTR lpszFmt, ...);

// Desktop only: lets a test see every debug line as it is written (0 to stop).
// The program never calls it.
typedef void (*PORT_DEBUG_OBSERVER)(LPCWSTR lpszLine);
void PortSetDebugObserver(PORT_DEBUG_OBSERVER pfnObserver);

#endif // UNDER_CE

#endif // STRIPEWELL_PORT_PLATFORM_H
