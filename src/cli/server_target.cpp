#include "cli/server_target.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "connection/server_login.h"

namespace leafward::cli {
namespace {

constexpr const char* kPasswordVariable = "LEAFWARD_SA_PASSWORD";

// Takes the value of `option` at `i` ("--option VALUE" or "--option=VALUE"); false when the
// word is another one.
bool takeOption(std::vector<std::string>& args, std::size_t i, const std::string& option,
                std::optional<std::string>& value) {
  const std::string& word = args[i];
  std::optional<std::string> found;
  std::size_t words = 1;
  if (word == option) {
    if (i + 1 >= args.size()) throw std::invalid_argument(option + " needs a value");
    found = args[i + 1];
    words = 2;
  } else if (word.rfind(option + "=", 0) == 0) {
    found = word.substr(option.size() + 1);
  } else {
    return false;
  }
  if (value) throw std::invalid_argument(option + " is given twice");
  value = std::move(found);
  args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
             args.begin() + static_cast<std::ptrdiff_t>(i + words));
  return true;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<std::size_t>(wrote);
  }
}

}  // namespace

std::optional<ServerTarget> takeServerTarget(std::vector<std::string>& args) {
  std::optional<std::string> server;
  std::optional<std::string> database;
  for (std::size_t i = 0; i < args.size();) {
    if (!takeOption(args, i, "--server", server) && !takeOption(args, i, "--database", database)) {
      ++i;
    }
  }
  if (database && !server) throw std::invalid_argument("--database needs --server");
  if (!server) return std::nullopt;
  return ServerTarget{*server, database};
}

std::string saPassword(const std::string& server) {
  if (const char* value = std::getenv(kPasswordVariable)) return value;
  return askWithoutEcho("Password of sa on " + server + ": ");
}

std::string askWithoutEcho(const std::string& prompt, const std::string& terminal) {
  const FileDescriptor tty(open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (tty.get() < 0) {
    throw std::runtime_error(std::string(kPasswordVariable) +
                             " is not set and there is no terminal to ask for the password");
  }
  termios saved{};
  const bool canHide = tcgetattr(tty.get(), &saved) == 0;
  if (canHide) {
    termios hidden = saved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    tcsetattr(tty.get(), TCSAFLUSH, &hidden);
  }
  // Restores the terminal however the reading ends.
  struct Restore {
    int fd;
    bool active;
    const termios& settings;
    ~Restore() {
      if (active) tcsetattr(fd, TCSAFLUSH, &settings);
    }
  } restore{tty.get(), canHide, saved};

  writeAll(tty.get(), prompt);
  std::string line;
  for (;;) {
    char c = 0;
    const ssize_t got = read(tty.get(), &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::runtime_error("Cannot read the password from the terminal");
    if (got == 0 || c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void openServer(connection::SharedConnection& shared, const ServerTarget& target,
                const std::string& password) {
  shared.blnServer = true;
  connection::ServerLink link = connection::serverLinkOf(shared);
  connection::openServerConnection(link, {password, target.server, target.database},
                                   connection::OnFailure::Stop);
}

}  // namespace leafward::cli
