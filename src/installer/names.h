#pragma once

#include <string>
#include <string_view>

// The names of the installer's windows and controls, as the windows' data, the handlers, the
// headless protocol and the tests spell them.
namespace inst::form1 {

inline constexpr std::string_view kName = "Form1";
inline constexpr std::string_view kFrame = "Frame1";
inline constexpr std::string_view kInstall = "Command1";
inline constexpr std::string_view kExit = "Command2";
inline constexpr std::string_view kInfo = "Command3";
// The version checkboxes are the members 0 to kChecks - 1 of the control array Check1.
inline constexpr int kChecks = 4;
inline std::string Check(int index) {
  return "Check1(" + std::to_string(index) + ")";
}

}  // namespace inst::form1

namespace inst::form2 {

inline constexpr std::string_view kName = "Form2";
inline constexpr std::string_view kText = "Text1";
inline constexpr std::string_view kExit = "Sair";

}  // namespace inst::form2
