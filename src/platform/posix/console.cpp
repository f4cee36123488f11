#include "platform/console.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error.h"

namespace leafward::platform {
namespace {

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<std::size_t>(wrote);
  }
}

}  // namespace

std::string askWithoutEcho(const std::string& prompt, const std::string& terminal) {
  const std::string device = terminal.empty() ? "/dev/tty" : terminal;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw SystemError(Failure::NotFound, "there is no terminal to ask on");
  termios saved{};
  const bool canHide = ::tcgetattr(fd, &saved) == 0;
  if (canHide) {
    termios hidden = saved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    ::tcsetattr(fd, TCSAFLUSH, &hidden);
  }
  // Gives the terminal back its settings and closes it however the reading ends.
  struct Restore {
    int fd;
    bool active;
    const termios& settings;
    ~Restore() {
      if (active) ::tcsetattr(fd, TCSAFLUSH, &settings);
      ::close(fd);
    }
  } restore{fd, canHide, saved};

  writeAll(fd, prompt);
  std::string line;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw SystemError(Failure::Other, "cannot read from the terminal");
    if (got == 0 || c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace leafward::platform
