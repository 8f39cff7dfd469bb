// CPU time of the discovery listener over an idle period, with the product's
// timings (select 5 s), run inside a lab PC namespace by idle-cpu.sh. The
// reference measured in the same run is the wall-clock time of the period.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "discovery/discovery_service.h"
#include "platform/net/network.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  if (argc == 3 && std::string(argv[1]) == "--seconds") seconds = std::atoi(argv[2]);
  auto net = vx::net::MakeSystemNetwork();
  if (auto refusal = net->BroadcastRefusal()) {
    std::fprintf(stderr, "idle_listener: %s\n", refusal->c_str());
    return 2;
  }
  vx::discovery::DiscoveryService service(*net, vx::SystemClock(), vx::InlineMainThread(),
                                          vx::IdentityTextCodec());
  if (!service.OpenWorkingSockets()) {
    std::fprintf(stderr, "idle_listener: no discovery socket\n");
    return 2;
  }
  service.StartDiscovery(vx::discovery::ListenerWiring{});
  // Let the servers' answers to the start-up request pass, then measure.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double cpu0 = CpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  const auto received0 = service.Listener()->GetStats().received;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const auto received = service.Listener()->GetStats().received - received0;
  std::printf("listener idle: %.1f s wall, %.4f s CPU (%.5f%% of one core), %llu datagrams, target < 0.1 s\n",
              wall, cpu, 100.0 * cpu / wall, static_cast<unsigned long long>(received));
  return 0;
}
