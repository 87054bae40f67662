// Context help and topic help through HTML Help, shared by the sheet and
// every dialog that has a help topic.
#pragma once

#include <windows.h>

// Help topics inside the help file.
extern const wchar_t kTopicDisplay[];
extern const wchar_t kTopicKeys[];
extern const wchar_t kTopicLeds[];
extern const wchar_t kTopicUserSettings[];
extern const wchar_t kTopicSwitches[];
extern const wchar_t kTopicRavla[];
extern const wchar_t kTopicTemperatures[];
extern const wchar_t kTopicFactorySettings[];
extern const wchar_t kTopicVersions[];
extern const wchar_t kTopicReport[];
extern const wchar_t kTopicTransfer[];
extern const wchar_t kTopicFirmwareInfo[];
extern const wchar_t kTopicKeyMatrix[];
extern const wchar_t kTopicReportView[];

// The help routine: with a help request, a popup for a control that has
// popup help (or, after asking, the topic); without one, the topic pszTopic
// (may be nullptr) of the help file, owned by hWndOwner.
void ShowHelp(HWND hWndOwner, const HELPINFO* pHelpInfo, const wchar_t* pszTopic);

// The (control id, help context id) pairs of all controls with popup help,
// ended by (0, 0).
const DWORD* GetContextHelpIds();

// HtmlHelpW of the HTML Help control, bound at the first call. Returns
// nullptr without a call when the control cannot be loaded.
HWND CallHtmlHelp(HWND hWndCaller, const wchar_t* pszFile, UINT uCommand, DWORD_PTR dwData);

// Closes the help windows and popups that the program opened, if it showed
// any; called when the sheet run ends, so none outlives the applet's window.
void CloseHelpWindows();

// Unloads the HTML Help control and forgets a failed binding, so that the
// next help call binds anew (tests run many module loads in one process).
void ResetHtmlHelpBinding();
