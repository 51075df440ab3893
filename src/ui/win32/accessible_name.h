#pragma once

#include <windows.h>

#include <string>

namespace inst::win32ui {

// Gives a control the accessible name a screen reader announces, through the system's own
// annotation service (Dynamic Annotation): for an edit, which takes its name from a label the
// window does not have. Does nothing where the service is missing.
void SetAccessibleName(HWND control, const std::wstring& name);
// Removes the annotation; called before the control is destroyed.
void ClearAccessibleName(HWND control);

}  // namespace inst::win32ui
