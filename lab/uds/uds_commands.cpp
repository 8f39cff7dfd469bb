// The control commands of vx-uds (one line in, one line out). docs/lab.md
// lists them.
#include <unistd.h>

#include <sstream>

#include "uds_engine.h"

namespace vx::lab {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The text after the first word.
std::string Rest(const std::string& line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  size_t gap = line.find_first_of(" \t", start);
  if (gap == std::string::npos) return {};
  size_t rest = line.find_first_not_of(" \t", gap);
  return rest == std::string::npos ? std::string() : line.substr(rest);
}

bool OnOff(const std::string& word, bool* value) {
  if (word == "on")
    *value = true;
  else if (word == "off")
    *value = false;
  else
    return false;
  return true;
}

const char kHelp[] =
    "OK commands: list | stats | reset-stats | interval SECONDS | add {json} | remove NAME | rename NAME NEW "
    "| set-ip NAME "
    "IP[/PREFIX]"
    " | set NAME KEY VALUE | reboot NAME [SECONDS] | announce NAME boot|long|short | tcp NAME on|off"
    " | silent NAME on|off | config NAME show|logout|fail-firmware on|off|ignore-48 on|off|session S | quit";

}  // namespace

std::string Engine::Execute(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  const auto w = Words(line);
  if (w.empty()) return "ERR empty command";
  const std::string& cmd = w[0];
  if (cmd == "help") return kHelp;
  if (cmd == "list") return List();
  if (cmd == "stats") return Stats();
  if (cmd == "reset-stats") {
    udp_requests_.clear();
    tcp_requests_.clear();
    udp_invalid_ = 0;
    return "OK";
  }
  if (cmd == "quit") {
    quit_ = true;
    return "OK";
  }
  if (cmd == "interval" && w.size() == 2) {
    int seconds = -1;
    try {
      seconds = std::stoi(w[1]);
    } catch (const std::exception&) {
    }
    if (seconds < 0 || seconds > 86400) return "ERR interval SECONDS (0 = no announcements)";
    config_.announce_interval = seconds;
    for (auto& l : servers_)
      l.next_announce = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    return "OK";
  }
  if (cmd == "add") return Add(Rest(line));
  if (cmd == "config") return ConfigCommand(w);
  if (cmd == "remove" && w.size() == 2) return Remove(w[1]);

  const bool server_command = cmd == "rename" || cmd == "set-ip" || cmd == "set" || cmd == "reboot" ||
                              cmd == "announce" || cmd == "tcp" || cmd == "silent";
  if (server_command) {
    if (w.size() < 2) return "ERR usage: " + cmd + " NAME ...";
    Live* l = Find(w[1]);
    if (!l) return "ERR no server " + w[1];
    if (cmd == "rename" && w.size() == 3) return Rename(*l, w[2]);
    if (cmd == "set-ip" && w.size() == 3) return SetIp(*l, w[2]);
    if (cmd == "set" && w.size() >= 4) {
      std::string value = Rest(Rest(Rest(line)));
      return SetField(*l, w[2], value);
    }
    if (cmd == "reboot" && w.size() <= 3) {
      int seconds = config_.reboot_seconds;
      if (w.size() == 3) {
        try {
          seconds = std::stoi(w[2]);
        } catch (const std::exception&) {
          return "ERR bad seconds";
        }
        if (seconds < 0 || seconds > 3600) return "ERR bad seconds";
      }
      if (l->up) TakeDown(*l);
      l->up = false;
      l->back_at = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
      return "OK";
    }
    if (cmd == "announce" && w.size() == 3) {
      if (!l->up || l->s.silent) return "ERR server " + l->s.name + " is not up";
      if (w[2] == "boot")
        SendBoot(*l);
      else if (w[2] == "long")
        SendAnnouncement(*l, true);
      else if (w[2] == "short")
        SendAnnouncement(*l, false);
      else
        return "ERR announce NAME boot|long|short";
      return "OK";
    }
    bool on = false;
    if (cmd == "tcp" && w.size() == 3 && OnOff(w[2], &on)) {
      l->s.tcp = on;
      l->s.config["tcp"] = on;
      if (on)
        OpenTcp(*l);
      else
        CloseTcp(*l);
      return "OK";
    }
    if (cmd == "silent" && w.size() == 3 && OnOff(w[2], &on)) {
      if (on == l->s.silent) return "OK";
      if (on) TakeDown(*l);
      l->s.silent = on;
      l->s.config["silent"] = on;
      if (!on && l->up) BringUp(*l, false);
      return "OK";
    }
    return std::string(kHelp).replace(0, 2, "ERR");
  }
  if (auto reply = sharing_.Control(w)) return *reply;
  return "ERR unknown command " + cmd;
}

std::string Engine::Add(const std::string& json_text) {
  SimServer s;
  try {
    s = ParseServer(nlohmann::json::parse(json_text));
  } catch (const std::exception& e) {
    return std::string("ERR ") + e.what();
  }
  if (Find(s.name)) return "ERR server " + s.name + " exists";
  if (FindByIp(s.ip)) return "ERR address " + s.ip.ToString() + " in use";
  try {
    config_service_.Forget(s.mac);
    config_service_.Ensure(s);
  } catch (const std::exception& e) {
    return std::string("ERR ") + e.what();
  }
  if (!EnsureAddress(s)) return "ERR cannot add address " + s.ip.ToString();
  servers_.push_back(Live{std::move(s)});
  BringUp(servers_.back(), true);
  return "OK";
}

std::string Engine::Remove(const std::string& name) {
  for (auto it = servers_.begin(); it != servers_.end(); ++it) {
    if (it->s.name != name) continue;
    TakeDown(*it);
    config_service_.Forget(it->s.mac);
    net::Ipv4 ip = it->s.ip;
    servers_.erase(it);
    ReleaseAddress(ip);
    return "OK";
  }
  return "ERR no server " + name;
}

std::string Engine::Rename(Live& l, const std::string& new_name) {
  nlohmann::json copy = l.s.config;
  copy["name"] = new_name;
  try {
    ParseServer(copy);
  } catch (const std::exception& e) {
    return std::string("ERR ") + e.what();
  }
  if (Find(new_name)) return "ERR server " + new_name + " exists";
  const bool was_up = l.up;
  if (was_up) TakeDown(l);
  l.s.name = new_name;
  l.s.config = copy;
  if (was_up) BringUp(l, false);
  return "OK";
}

std::string Engine::SetIp(Live& l, const std::string& value) {
  nlohmann::json copy = l.s.config;
  size_t slash = value.find('/');
  copy["ip"] = value.substr(0, slash);
  if (slash != std::string::npos) {
    try {
      copy["prefix"] = std::stoi(value.substr(slash + 1));
    } catch (const std::exception&) {
      return "ERR bad prefix";
    }
  }
  SimServer parsed;
  try {
    parsed = ParseServer(copy);
  } catch (const std::exception& e) {
    return std::string("ERR ") + e.what();
  }
  if (Live* other = FindByIp(parsed.ip); other && other != &l) return "ERR address in use";
  if (!EnsureAddress(parsed)) return "ERR cannot add address " + parsed.ip.ToString();
  const bool was_up = l.up;
  if (was_up) TakeDown(l);
  const net::Ipv4 old = l.s.ip;
  l.s.ip = parsed.ip;
  l.s.prefix = parsed.prefix;
  l.s.config = copy;
  ReleaseAddress(old);
  // A server whose address changed starts its network again.
  if (was_up) BringUp(l, true);
  return "OK";
}

std::string Engine::SetField(Live& l, const std::string& key, const std::string& value) {
  if (key == "name") return Rename(l, value);
  if (key == "ip") return SetIp(l, value);
  if (key == "tcp" || key == "silent") {
    const std::string word = value == "true" ? "on" : value == "false" ? "off" : value;
    return Execute(key + " " + l.s.name + " " + word);
  }
  nlohmann::json parsed = nlohmann::json::parse(value, nullptr, false);
  if (parsed.is_discarded()) parsed = value;  // a bare word is a text
  nlohmann::json copy = l.s.config;
  copy[key] = parsed;
  SimServer s;
  try {
    s = ParseServer(copy);
  } catch (const std::exception& e) {
    return std::string("ERR ") + e.what();
  }
  const bool tcp = l.s.tcp, silent = l.s.silent;
  l.s = std::move(s);
  l.s.tcp = tcp;
  l.s.silent = silent;
  return "OK";
}

std::string Engine::List() const {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& l : servers_)
    list.push_back({{"name", l.s.name},
                    {"ip", l.s.ip.ToString()},
                    {"mac", l.s.MacText()},
                    {"model", l.s.model},
                    {"up", l.up},
                    {"silent", l.s.silent},
                    {"tcp", l.tcp_listener >= 0}});
  return "OK " + list.dump();
}

std::string Engine::Stats() const {
  nlohmann::json s = {
      {"udp_requests", udp_requests_}, {"tcp_requests", tcp_requests_}, {"udp_invalid", udp_invalid_}};
  return "OK " + s.dump();
}

}  // namespace vx::lab
