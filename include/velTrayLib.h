/*
 * velTrayLib: the smart-card signature suite's presence in the taskbar
 * notification area. Load velTrayLib.dll, call velStartTray with your window,
 * drive the icons with the exports below, and call velStopTray before unloading.
 * Menu choices arrive at your window as WM_COMMAND with the command id in wParam.
 *
 * All functions are stdcall and return a 32-bit status. Only velStartTray reports
 * a failure (VEL_E_FAIL); every other function returns VEL_OK whatever happened.
 * After velStopTray every function returns VEL_OK at once and does nothing.
 * Texts are zero-terminated ANSI strings; reader names are compared byte for byte.
 */
#ifndef VELTRAYLIB_H
#define VELTRAYLIB_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef VELTRAYLIB_BUILD
#define VELTRAYAPI
#else
#define VELTRAYAPI __declspec(dllimport)
#endif

#define VEL_OK 0x00000000UL     /* success */
#define VEL_E_FAIL 0x10090000UL /* velStartTray failed (for example without design component) */

/* Starts the tray: loads texts and design pictures and shows the SEM icon. */
VELTRAYAPI DWORD WINAPI velStartTray(HWND hHostWnd, BOOL bSEMm);
/* Removes every icon and stops the library for good; waits up to 3 s for a running call. */
VELTRAYAPI DWORD WINAPI velStopTray(void);
/* Shows the reader's chip icon, creating it with the command base when the reader is new. */
VELTRAYAPI DWORD WINAPI velAddChipTray(LPCSTR pszReader, DWORD nCmdBase);
/* No card in the reader: empty-reader picture, the reader name as tooltip, entries cleared. */
VELTRAYAPI DWORD WINAPI velCardAbsent(LPCSTR pszReader, DWORD nCmdBase);
/* A card is in the reader. */
VELTRAYAPI DWORD WINAPI velCardPresent(LPCSTR pszReader, DWORD nCmdBase);
/* The card in the reader is being identified. */
VELTRAYAPI DWORD WINAPI velCardIdentify(LPCSTR pszReader, DWORD nCmdBase);
/* The card was identified; a non-null text becomes the tooltip and is shown in the information
 * window. */
VELTRAYAPI DWORD WINAPI velCardIdentified(LPCSTR pszReader, LPCSTR pszInfo, DWORD dwUnused1,
                                          DWORD dwUnused2, DWORD nCmdBase);
/* The card in the reader is of an unknown kind. */
VELTRAYAPI DWORD WINAPI velCardUnknown(LPCSTR pszReader, DWORD nCmdBase);
/* The card in the reader is in use. */
VELTRAYAPI DWORD WINAPI velCardActive(LPCSTR pszReader, DWORD nCmdBase);
/* Takes the reader's chip icon out of the notification area (any state change shows it again). */
VELTRAYAPI DWORD WINAPI velHideChipIcon(LPCSTR pszReader);
/* Adds an entry (text id, command id) to the reader's context menu; duplicates are ignored. */
VELTRAYAPI DWORD WINAPI velAddChipMenuItem(LPCSTR pszReader, DWORD nTextId, DWORD nCmdId);
/* Adds an entry (text id, command id) to the SEM icon's context menu; duplicates are ignored. */
VELTRAYAPI DWORD WINAPI velAddSEMMenuItem(DWORD nTextId, DWORD nCmdId);
/* Shows the information window with the text of an id. */
VELTRAYAPI DWORD WINAPI velShowInformation(DWORD nTextId);
/* Hides the information window. */
VELTRAYAPI DWORD WINAPI velHideInformation(void);
/* Raises the alert: alert picture and tooltip on the SEM icon, the text in the information window.
 */
VELTRAYAPI DWORD WINAPI velMMVAlert(LPCSTR pszTooltip, LPCSTR pszInfo, DWORD dwUnused);
/* Starts turning the SEM icon's picture (every 500 ms). */
VELTRAYAPI DWORD WINAPI velStartSEMRotation(void);
/* Stops turning the SEM icon's picture and waits until it rests. */
VELTRAYAPI DWORD WINAPI velStopSEMRotation(void);
/* Sets the two colours of the menus' banner gradient; 0xFFFFFFFF means the system's colour. */
VELTRAYAPI DWORD WINAPI velSetDsgnColors(COLORREF crMenu1, COLORREF crMenu2);

#ifdef __cplusplus
}
#endif

#endif /* VELTRAYLIB_H */
