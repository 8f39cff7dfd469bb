#include "discovery/listener.h"

#include <array>
#include <cstring>

#include "platform/trace.h"

namespace vx::discovery {

TFindQuorinThread::TFindQuorinThread(Discovery& discovery, ListenerWiring wiring)
    : discovery_(discovery), wiring_(wiring) {}

TFindQuorinThread::~TFindQuorinThread() {
  Terminate();
  WaitFor();
}

void TFindQuorinThread::Start() {
  if (thread_.joinable()) return;
  finished_ = false;
  thread_ = std::thread([this] { Execute(); });
}

void TFindQuorinThread::Terminate() {
  std::lock_guard lock(mutex_);
  terminate_ = true;
  wake_.notify_all();
}

void TFindQuorinThread::WaitFor() {
  if (!thread_.joinable()) return;
  while (!finished_.load()) {
    discovery_.GetMainThread().ProcessMessages();
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return finished_.load(); });
  }
  thread_.join();
}

void TFindQuorinThread::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void TFindQuorinThread::Resume() {
  std::lock_guard lock(mutex_);
  suspended_ = false;
  wake_.notify_all();
}

bool TFindQuorinThread::Parked() const {
  std::lock_guard lock(mutex_);
  return parked_ && suspended_;
}

TFindQuorinThread::Stats TFindQuorinThread::GetStats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

bool TFindQuorinThread::WaitTerminated(Millis d) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, d, [this] { return terminate_; });
}

bool TFindQuorinThread::Closing() const { return wiring_.closing && wiring_.closing->load(); }

void TFindQuorinThread::StatusStep(bool network_ok) {
  if (!wiring_.status) return;
  // The no-network step runs on every turn (the tree may empty, the window may
  // show). The network-ok step only changes something when the state changes,
  // so under a stream of datagrams it is handed over at most once per select
  // period instead of once per datagram.
  const auto now = discovery_.GetClock().Now();
  if (network_ok && last_network_ok_ == true && now - last_ok_step_ < discovery_.Settings().select_timeout)
    return;
  last_network_ok_ = network_ok;
  if (network_ok) last_ok_step_ = now;
  NetworkStateSink* sink = wiring_.status;
  discovery_.GetMainThread().RunSync([sink, network_ok] {
    if (network_ok)
      sink->NetworkOkStep();
    else
      sink->NoNetworkStep();
  });
}

void TFindQuorinThread::Execute() {
  const DiscoverySettings& s = discovery_.Settings();
  while (true) {
    {
      std::unique_lock lock(mutex_);
      parked_ = true;
      wake_.wait(lock, [this] { return terminate_ || !suspended_; });
      parked_ = false;
      if (terminate_) break;
    }
    if (Closing()) break;

    if (discovery_.Sockets().HighestHandle() == 0) {
      StatusStep(false);
      bool stop = false;
      for (int i = 0; i < s.no_network_steps && !stop; ++i) {
        stop = WaitTerminated(s.no_network_step);
        if (!stop) discovery_.GetMainThread().ProcessMessages();
      }
      continue;
    }
    StatusStep(true);

    std::vector<SocketSlot> slots = discovery_.Sockets().Snapshot();
    std::vector<net::UdpSocket*> sockets;
    for (const auto& slot : slots) sockets.push_back(slot.socket.get());
    if (sockets.empty()) {
      WaitTerminated(s.select_error_backoff);
      continue;
    }
    net::SelectResult selected = discovery_.Network().SelectReadable(sockets, s.select_timeout);
    if (!selected.error.ok()) {
      TraceLine("TFindQuorinThread(" + std::to_string(discovery_.Sockets().HighestHandle()) +
                ") : select : call error! " + std::to_string(selected.error.code) + " " +
                selected.error.name);
      // Never spin on a persistent error (sockets closed under us).
      if (Closing() || WaitTerminated(s.select_error_backoff)) break;
      continue;
    }
    if (selected.ready == 0) continue;

    for (size_t i = 0; i < slots.size(); ++i) {
      if (!selected.readable[i]) continue;
      std::array<uint8_t, kReceiveBufferSize> buffer{};
      auto got = slots[i].socket->ReceiveFrom(buffer);
      if (!got.ok()) {
        if (got.error.timed_out)
          TraceLine("TFindQuorinThread : recvfrom : call failed! [OPCODE_DIALING_TIMEOUT] !");
        else
          TraceLine("TFindQuorinThread(" + std::to_string(slots[i].socket->Handle()) +
                    ") : recvfrom : call failed! " + std::to_string(got.error.code) + " - " + got.error.name);
        continue;
      }
      HandleDatagram(slots[i], std::span<const uint8_t>(buffer.data(), got.value.length),
                     got.value.from.address);
    }
    if (Closing()) break;
  }
  std::lock_guard lock(mutex_);
  finished_ = true;
  wake_.notify_all();
}

void TFindQuorinThread::HandleDatagram(const SocketSlot& slot, std::span<const uint8_t> bytes,
                                       net::Ipv4 source) {
  DatagramResult r = ProcessDatagram(bytes, source, discovery_.Table(), discovery_.ServerTableLock());
  if (r.kind == DatagramKind::kBootAnnouncement) {
    size_t n = strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    TraceLine("TFindQuorinThread(" + std::to_string(slot.socket->Handle()) + ") : " + source.ToString() +
              " => len : " + std::to_string(bytes.size()) + " " +
              std::string(reinterpret_cast<const char*>(bytes.data()), n));
  }
  if (r.outcome == Outcome::kTableFull)
    TraceLine("TFindQuorinThread : discovery table full, " + source.ToString() + " not stored");

  bool burst = false;
  if (r.ask_servers) {
    const auto now = discovery_.GetClock().Now();
    if (!last_burst_ || now - *last_burst_ >= discovery_.Settings().announce_burst_interval) {
      last_burst_ = now;
      burst = true;
      discovery_.FindQuorinSend();
    }
  }

  bool forwarded = false;
  if (r.forward && wiring_.forwarder && wiring_.master_bus && wiring_.master_bus->MasterBusValid()) {
    if (wiring_.forwarder->SendUdpPacket(source.NetworkOrder(), r.forward->bytes.data(), r.forward->length))
      forwarded = true;
    else
      TraceLine("Got UDP Packet Fail !");
  }

  std::lock_guard lock(mutex_);
  ++stats_.received;
  if (r.outcome == Outcome::kStored) ++stats_.stored;
  if (r.outcome == Outcome::kReplaced) ++stats_.replaced;
  if (!r.forward) ++stats_.dropped;
  if (forwarded) ++stats_.forwarded;
  if (burst) ++stats_.requests;
}

}  // namespace vx::discovery
