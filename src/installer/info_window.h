#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/window.h"
#include "platform/file_system.h"
#include "platform/profile.h"

namespace inst {

// Form2's load handler: caption from "InfoTitle", Esc on "&Fechar", size and layout.
void LoadForm2(Window& form2, Profile& profile, const std::string& packageFolder);

// Fills Text1 of Form2 with the information file "Info\<fileName>" in the package.
// `form2` loads the window when it is not loaded yet; it is called only when there is a file.
void LoadInfoFile(FileSystem& fs, const std::string& packageFolder, const std::string& fileName,
                  const std::function<Window&()>& form2);

// The text of an information file: valid UTF-8 holding non-ASCII characters (with or without a
// byte-order mark) is taken as UTF-8; anything else is text in the ANSI code page.
std::string DecodeInfoText(std::string_view bytes);

}  // namespace inst
