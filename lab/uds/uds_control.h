// The control channel of vx-uds: a line-based command protocol over a Unix
// socket (a path) or a TCP port on 127.0.0.1 (a number). Each command line
// gets exactly one reply line.
#pragma once

#include <poll.h>

#include <functional>
#include <string>
#include <vector>

namespace vx::lab {

class ControlServer {
 public:
  ~ControlServer();
  // `where`: a TCP port number on 127.0.0.1, or a Unix socket path.
  bool Open(const std::string& where, std::string* error);
  std::vector<pollfd> PollFds() const;
  void HandleReady(const std::vector<pollfd>& ready,
                   const std::function<std::string(const std::string&)>& execute);

 private:
  struct Client {
    int fd = -1;
    std::string buffer;
  };
  int listener_ = -1;
  std::string path_;
  std::vector<Client> clients_;
};

}  // namespace vx::lab
