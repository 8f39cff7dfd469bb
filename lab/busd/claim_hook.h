// vx-busd's claim hook: after a claim that makes this PC the holder of a
// device, a command of the lab plays what Windows does when the device
// arrives (lab/pnp/vx-pnp-hook.sh writes the device's registry keys into the
// PC's Wine prefix). The hook asks the server for its device report (the
// identity and the Plug and Play profile), and runs the command once per hold:
// a repeated claim by the holder runs nothing, a new hold (after a release or
// another PC's hold) runs it again; a hook that failed runs again on the next
// claim. Devices without a profile run nothing. One command at a time, in
// claim order, off the claim's thread.
//
// The command runs under /bin/sh -c in the environment of vx-busd plus:
//   VX_CLAIM_PC          this PC's computer name
//   VX_CLAIM_SERVER      the server's address (dotted)
//   VX_CLAIM_DEVICE_NO   the device number
//   VX_CLAIM_VID, VX_CLAIM_PID   four upper-case hexadecimal digits
//   VX_CLAIM_SERIAL      the serial number
//   VX_CLAIM_PROFILE     the Plug and Play profile name
//   VX_CLAIM_DEVICE      the device report as JSON (lab/pnp/pnp_profile.h)
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace vx::busd {

class ClaimHook {
 public:
  // The server's report of a device (JSON bytes), nullopt when it gives none.
  using Report = std::function<std::optional<std::string>(uint32_t server_ip, int device_no)>;
  struct Config {
    std::string command;
    std::string pc_name;
    std::chrono::milliseconds timeout{120000};  // a longer run is ended (its process group)
  };

  ClaimHook(Config config, Report report);
  ~ClaimHook();
  ClaimHook(const ClaimHook&) = delete;
  ClaimHook& operator=(const ClaimHook&) = delete;

  // Queues a granted claim; returns at once.
  void Claimed(uint32_t server_ip, int device_no);

  // Claims handled so far (run, skipped or failed) and commands started.
  int Handled();
  int Started();
  // Waits until at least `n` claims have been handled.
  bool WaitHandled(int n, std::chrono::milliseconds within);

 private:
  void Loop();
  void Handle(uint32_t ip, int device_no);
  // Runs the command with the extra environment; its exit status, or -1.
  int Run(const std::map<std::string, std::string>& env);

  Config config_;
  Report report_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::pair<uint32_t, int>> queue_;
  std::map<std::pair<uint32_t, int>, uint32_t> played_;  // the hold each device was played for
  int handled_ = 0, started_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace vx::busd
