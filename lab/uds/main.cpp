// vx-uds: simulated USB device servers for the lab. Started inside the lab's
// server namespace:  ip netns exec vxsrv vx-uds --config FILE [--control PATH|PORT]
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/net/network.h"
#include "sharing_hooks.h"
#include "uds_config.h"
#include "uds_control.h"
#include "uds_engine.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

int Usage() {
  std::fprintf(stderr,
               "usage: vx-uds --config FILE [--control PATH|PORT] [--announce-interval S] [--interface IF]\n"
               "              [--udp-port N] [--tcp-port N] [--verbose]\n");
  return 2;
}

// The simulators broadcast: they run only inside a lab network namespace.

bool ParsePort(const char* text, uint16_t* port) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end || v < 1 || v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_path, control;
  int announce_interval = -1;
  std::string interface;
  vx::lab::Engine::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool has_value = i + 1 < argc;
    if (a == "--config" && has_value)
      config_path = argv[++i];
    else if (a == "--control" && has_value)
      control = argv[++i];
    else if (a == "--interface" && has_value)
      interface = argv[++i];
    else if (a == "--announce-interval" && has_value)
      announce_interval = std::atoi(argv[++i]);
    else if (a == "--udp-port" && has_value) {
      if (!ParsePort(argv[++i], &options.udp_port)) return Usage();
    } else if (a == "--tcp-port" && has_value) {
      if (!ParsePort(argv[++i], &options.tcp_port)) return Usage();
    } else if (a == "--verbose")
      options.verbose = true;
    else
      return Usage();
  }
  if (config_path.empty()) return Usage();
  if (!vx::net::InLabNetworkNamespace()) {
    std::fprintf(stderr,
                 "vx-uds: refusing to run outside a lab network namespace "
                 "(lab/net/vx-lab.sh up; ip netns exec vxsrv vx-uds ...)\n");
    return 2;
  }

  vx::lab::UdsConfig config;
  try {
    config = vx::lab::LoadConfig(config_path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vx-uds: %s\n", e.what());
    return 2;
  }
  if (announce_interval >= 0) config.announce_interval = announce_interval;
  if (!interface.empty()) config.interface = interface;
  const size_t count = config.servers.size();

  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  auto sharing = vx::lab::MakeSharingExtension();
  vx::lab::ControlServer control_server;
  std::string error;
  if (!control.empty() && !control_server.Open(control, &error)) {
    std::fprintf(stderr, "vx-uds: %s\n", error.c_str());
    return 1;
  }
  vx::lab::Engine engine(std::move(config), *sharing, options);
  if (!engine.Start(&error)) {
    std::fprintf(stderr, "vx-uds: %s\n", error.c_str());
    return 1;
  }
  std::printf("vx-uds: ready, %zu servers%s%s\n", count, control.empty() ? "" : ", control ",
              control.c_str());
  std::fflush(stdout);

  auto execute = [&](const std::string& line) { return engine.Execute(line); };
  while (!g_stop && !engine.QuitRequested()) {
    std::vector<pollfd> fds = engine.PollFds();
    const size_t engine_count = fds.size();
    for (const auto& p : control_server.PollFds()) fds.push_back(p);
    int ready = poll(fds.data(), fds.size(), engine.NextTimerMs(200));
    if (ready < 0 && errno != EINTR) {
      std::perror("vx-uds: poll");
      return 1;
    }
    if (ready > 0) {
      engine.HandleReady(std::vector<pollfd>(fds.begin(), fds.begin() + static_cast<long>(engine_count)));
      control_server.HandleReady(
          std::vector<pollfd>(fds.begin() + static_cast<long>(engine_count), fds.end()), execute);
    }
    engine.RunTimers();
  }
  return 0;
}
