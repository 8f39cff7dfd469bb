#include "discovery/listener.h"

#include <array>
#include <cstring>

#include "platform/trace.h"

namespace vx::discovery {

TFindQuorinThread::TFindQuorinThread(Discovery& discovery, ListenerWiring wiring)
    : discovery_(discovery),
      wiring_(wiring),
      worker_(discovery.GetMainThread(), "TFindQuorinThread", WorkerThread::Priority::kAboveNormal) {}

TFindQuorinThread::~TFindQuorinThread() {
  Terminate();
  WaitFor();
}

bool TFindQuorinThread::Start() {
  if (worker_.Started()) return false;
  OpenWakeSocket();
  return worker_.Start([this](Worker& w) { Execute(w); });
}

void TFindQuorinThread::OpenWakeSocket() {
  // Loopback only: nothing of it leaves the machine. Without it the loop
  // still notices a request within one select time-out.
  auto created = discovery_.Network().CreateUdp();
  if (!created.ok()) return;
  if (!created.value->Bind(net::BindTarget{{net::Ipv4::Loopback(), 0}, ""}).ok()) return;
  auto local = created.value->LocalEndpoint();
  if (!local) return;
  wake_endpoint_ = *local;
  wake_socket_ = std::move(created.value);
}

void TFindQuorinThread::Interrupt() {
  worker_.State().Wake();
  if (wake_socket_) {
    const uint8_t byte = 0;
    wake_socket_->SendTo(std::span<const uint8_t>(&byte, 1), wake_endpoint_);
  }
}

void TFindQuorinThread::DrainWakeSocket() {
  std::array<uint8_t, 16> buffer{};
  wake_socket_->ReceiveFrom(buffer);
}

void TFindQuorinThread::Terminate() {
  worker_.Terminate();
  Interrupt();
}

void TFindQuorinThread::WaitFor() { worker_.WaitFor(); }

void TFindQuorinThread::Suspend() {
  suspended_ = true;
  Interrupt();
}

bool TFindQuorinThread::WaitParked(Millis timeout) {
  if (!worker_.Running()) return true;  // a loop that does not run holds nothing
  return worker_.WaitUntil([this] { return Parked() || worker_.Finished(); }, timeout);
}

void TFindQuorinThread::Resume() {
  suspended_ = false;
  worker_.State().Wake();
}

TFindQuorinThread::Stats TFindQuorinThread::GetStats() const {
  std::lock_guard lock(stats_mutex_);
  return stats_;
}

bool TFindQuorinThread::Closing() const { return wiring_.closing && wiring_.closing->load(); }

void TFindQuorinThread::StatusStep(Worker& w, bool network_ok) {
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
  w.RunOnMainThread([sink, network_ok] {
    if (network_ok)
      sink->NetworkOkStep();
    else
      sink->NoNetworkStep();
  });
}

void TFindQuorinThread::Execute(Worker& w) {
  const DiscoverySettings& s = discovery_.Settings();
  while (true) {
    if (suspended_.load()) {
      // Parked: no snapshot of the sockets is held here.
      parked_ = true;
      w.Notify();
      while (suspended_.load() && !w.Terminated()) w.WaitTerminated(std::chrono::hours(1));
      parked_ = false;
    }
    if (w.Terminated() || Closing()) break;

    if (discovery_.Sockets().HighestHandle() == 0) {
      StatusStep(w, false);
      for (int i = 0; i < s.no_network_steps && !suspended_.load(); ++i) {
        if (w.WaitTerminated(s.no_network_step)) break;
        discovery_.GetMainThread().ProcessMessages();
      }
      continue;
    }
    StatusStep(w, true);

    std::vector<SocketSlot> slots = discovery_.Sockets().Snapshot();
    std::vector<net::UdpSocket*> sockets;
    for (const auto& slot : slots) sockets.push_back(slot.socket.get());
    if (sockets.empty()) {
      w.WaitTerminated(s.select_error_backoff);
      continue;
    }
    if (wake_socket_) sockets.push_back(wake_socket_.get());
    net::SelectResult selected = discovery_.Network().SelectReadable(sockets, s.select_timeout);
    if (!selected.error.ok()) {
      TraceLine("TFindQuorinThread(" + std::to_string(discovery_.Sockets().HighestHandle()) +
                ") : select : call error! " + std::to_string(selected.error.code) + " " +
                selected.error.name);
      // Never spin on a persistent error (sockets closed under us).
      if (Closing() || w.WaitTerminated(s.select_error_backoff)) break;
      continue;
    }
    if (selected.ready == 0) continue;
    if (wake_socket_ && selected.readable.size() == sockets.size() && selected.readable.back())
      DrainWakeSocket();

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
}

void TFindQuorinThread::HandleDatagram(const SocketSlot& slot, std::span<const uint8_t> bytes,
                                       net::Ipv4 source) {
  DatagramResult r = ProcessDatagram(bytes, source, discovery_.Table());
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

  std::lock_guard lock(stats_mutex_);
  ++stats_.received;
  if (r.outcome == Outcome::kStored) ++stats_.stored;
  if (r.outcome == Outcome::kReplaced) ++stats_.replaced;
  if (!r.forward) ++stats_.dropped;
  if (forwarded) ++stats_.forwarded;
  if (burst) ++stats_.requests;
}

}  // namespace vx::discovery
