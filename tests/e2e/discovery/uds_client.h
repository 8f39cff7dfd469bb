// A client of vx-uds's control socket for the lab tests.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace vx::discovery {

// Sends one command line to the control socket at `path`; returns the reply line.
inline std::string UdsCommand(const std::string& path, const std::string& line) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un sa{};
  sa.sun_family = AF_UNIX;
  std::strncpy(sa.sun_path, path.c_str(), sizeof sa.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    return "ERR cannot connect to " + path;
  }
  std::string out = line + "\n";
  (void)!write(fd, out.data(), out.size());
  std::string reply;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') reply += c;
  close(fd);
  return reply;
}

}  // namespace vx::discovery
