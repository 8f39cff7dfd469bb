#include "claim_hook.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "busdriver/records.h"
#include "pnp_profile.h"

extern char** environ;

namespace vx::busd {

ClaimHook::ClaimHook(Config config, Report report)
    : config_(std::move(config)), report_(std::move(report)), thread_([this] { Loop(); }) {}

ClaimHook::~ClaimHook() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void ClaimHook::Claimed(uint32_t server_ip, int device_no) {
  {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(server_ip, device_no);
  }
  cv_.notify_all();
}

int ClaimHook::Handled() {
  std::lock_guard lock(mutex_);
  return handled_;
}

int ClaimHook::Started() {
  std::lock_guard lock(mutex_);
  return started_;
}

bool ClaimHook::WaitHandled(int n, std::chrono::milliseconds within) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, within, [&] { return handled_ >= n; });
}

void ClaimHook::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    auto [ip, no] = queue_.front();
    queue_.pop_front();
    lock.unlock();
    Handle(ip, no);
    lock.lock();
    ++handled_;
    cv_.notify_all();
  }
}

void ClaimHook::Handle(uint32_t ip, int device_no) {
  const std::string where = bus::Ipv4Text(ip) + " device " + std::to_string(device_no);
  auto bytes = report_(ip, device_no);
  if (!bytes) {
    std::fprintf(stderr, "vx-busd: claim hook: no report of %s\n", where.c_str());
    return;
  }
  std::string why;
  auto report = lab::pnp::ParseDeviceReport(*bytes, &why);
  if (!report) {
    std::fprintf(stderr, "vx-busd: claim hook: report of %s refused: %s\n", where.c_str(), why.c_str());
    return;
  }
  if (report->owner != config_.pc_name) return;  // let go again meanwhile: nothing arrived
  {
    std::lock_guard lock(mutex_);
    auto it = played_.find({ip, device_no});
    if (it != played_.end() && it->second == report->hold) return;  // the same hold: no new arrival
  }
  if (!report->pnp) {
    std::fprintf(stderr, "vx-busd: claim hook: %s has no Plug and Play profile\n", where.c_str());
    return;
  }
  char id[8];
  std::map<std::string, std::string> env = {
      {"VX_CLAIM_PC", config_.pc_name},
      {"VX_CLAIM_SERVER", bus::Ipv4Text(ip)},
      {"VX_CLAIM_DEVICE_NO", std::to_string(device_no)},
      {"VX_CLAIM_SERIAL", report->serial},
      {"VX_CLAIM_PROFILE", report->pnp->profile},
      {"VX_CLAIM_DEVICE", lab::pnp::DeviceReportJson(*report).dump()},
  };
  std::snprintf(id, sizeof id, "%04X", unsigned(report->vid));
  env["VX_CLAIM_VID"] = id;
  std::snprintf(id, sizeof id, "%04X", unsigned(report->pid));
  env["VX_CLAIM_PID"] = id;
  int status = Run(env);
  std::fprintf(stderr, "vx-busd: claim hook for %s (%s): %s %d\n", where.c_str(),
               report->pnp->profile.c_str(), status == 0 ? "done," : "failed, exit", status);
  if (status == 0) {
    std::lock_guard lock(mutex_);
    played_[{ip, device_no}] = report->hold;
  }
}

int ClaimHook::Run(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> env_text;
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (!extra.count(name)) env_text.push_back(entry);
  }
  for (const auto& [k, v] : extra) {
    std::string value = v.substr(0, v.find('\0'));  // the environment ends a text at NUL
    env_text.push_back(k + "=" + value);
  }
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string shell = "/bin/sh", flag = "-c", command = config_.command;
  char* argv[] = {shell.data(), flag.data(), command.data(), nullptr};

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);  // its own group, so a time-out ends all it started
  pid_t pid = -1;
  int rc = posix_spawn(&pid, shell.c_str(), nullptr, &attr, argv, envp.data());
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    std::fprintf(stderr, "vx-busd: claim hook: cannot start /bin/sh (error %d)\n", rc);
    return -1;
  }
  {
    std::lock_guard lock(mutex_);
    ++started_;
  }
  auto deadline = std::chrono::steady_clock::now() + config_.timeout;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    std::unique_lock lock(mutex_);
    bool stopping = cv_.wait_for(lock, std::chrono::milliseconds(20), [&] { return stop_; });
    if (stopping || std::chrono::steady_clock::now() >= deadline) {
      lock.unlock();
      std::fprintf(stderr, "vx-busd: claim hook: %s, ending it\n", stopping ? "stopping" : "time-out");
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vx::busd
