// Starts a program and prints how long it took until its first window was mapped on the X
// display, and its peak resident memory up to then. Used by gtk_startup.sh.
//   window_map_timer COMMAND [ARG...]
// Prints "<milliseconds> <peak KiB>"; exits 1 when no window appears within 30 s.

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_map_timer COMMAND [ARG...]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "window_map_timer: no display\n");
    return 2;
  }
  // With a window manager the program's window is mapped inside the manager's frame, whose
  // own mapping the root window reports; without one, the program's window is the root's child.
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, True);

  const auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  const int fd = ConnectionNumber(display);
  bool mapped = false;
  while (!mapped) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify) mapped = true;
    }
    if (mapped) break;
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) break;
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    timeval wait{0, 20000};
    select(fd + 1, &fds, nullptr, nullptr, &wait);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // The first frame is drawn just after the mapping; it belongs to showing the window.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(child, SIGTERM);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  XCloseDisplay(display);
  if (!mapped) {
    std::fprintf(stderr, "window_map_timer: no window was mapped\n");
    return 1;
  }
  std::printf("%.2f %ld\n", ms, usage.ru_maxrss);
  return 0;
}
