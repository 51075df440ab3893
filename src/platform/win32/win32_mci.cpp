#include "platform/win32/win32_mci.h"

#include <windows.h>
// After windows.h, which defines the types it uses.
#include <mmsystem.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/win32/system_library.h"

namespace inst {
namespace {

using SendString = MCIERROR(WINAPI*)(LPCSTR, LPSTR, UINT, HWND);

// winmm is no known DLL: loaded from the system folder, and it loads the drivers from there.
SendString Interpreter() {
  static const auto send = win32::SystemFunction<SendString>(L"winmm.dll", "mciSendStringA");
  return send;
}

}  // namespace

Win32MciPort::~Win32MciPort() {
  if (SendString send = Interpreter()) send("close all", nullptr, 0, nullptr);
}

MciReply Win32MciPort::send(const std::string& command, std::size_t replyCapacity) {
  // The interface counts the buffer in a UINT; nobody asks for more than a few hundred bytes.
  const UINT capacity = replyCapacity > UINT_MAX ? UINT_MAX : static_cast<UINT>(replyCapacity);
  // Zero-filled, so a reply the device never wrote reads as empty.
  std::vector<char> buffer(capacity + std::size_t{1}, '\0');
  MciReply reply;
  const SendString sendString = Interpreter();
  if (!sendString) {
    reply.code = MCIERR_DEVICE_NOT_INSTALLED;
    return reply;
  }
  reply.code = sendString(command.c_str(), capacity ? buffer.data() : nullptr, capacity, nullptr);
  if (capacity) reply.text.assign(buffer.data(), strnlen(buffer.data(), capacity));
  return reply;
}

}  // namespace inst
