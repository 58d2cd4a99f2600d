#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Talking to the controls of another program's windows. Every message goes
// with a time limit, so that a program that hangs fails the command instead
// of hanging the driver (TDriverFailure). The system carries the data of
// the standard controls' messages (texts, list entries) across processes;
// the common controls' messages (status bar, tab control) get a buffer
// inside the program's own memory instead.

// The message's result, or a failure when the window did not answer in time.
LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::wstring ClassOf(HWND window);
std::wstring WindowText(HWND window);
// The caption the system keeps for a window of another program, read without
// a message (so never failing): right for captions of windows and buttons,
// not for controls that keep their own text, such as an edit.
std::wstring StoredCaption(HWND window);

// A part of a status bar.
std::wstring StatusText(HANDLE process, HWND bar, int part);

// The entries of a list box or drop-down list, and the index of the selected
// one (-1 when none is).
std::vector<std::wstring> ListEntries(HWND list);
int SelectedEntry(HWND list);
bool IsComboBox(HWND window);

std::wstring TabCaption(HANDLE process, HWND tab, int index);
int TabCount(HWND tab);

// Whether a user could reach the control: it and every window above it are
// visible and enabled.
bool IsUsable(HWND control);

// The descendant of window with that control identifier (and of that class,
// unless className is null), searched through every level: the main form's
// controls lie on page windows, the file dialog's name field inside a combo
// box inside another. nullptr if there is none.
HWND FindDescendant(HWND window, int id, const wchar_t* className = nullptr);

// The descendant whose text, with & accelerator marks taken out, is caption.
HWND FindDescendantByCaption(HWND window, const std::wstring& caption);
