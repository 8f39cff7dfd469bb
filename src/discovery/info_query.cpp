#include "discovery/info_query.h"

#include <array>

#include "platform/trace.h"

namespace vx::discovery {
namespace {

// The location text as a number; -1 when it is not a plain decimal number.
int LocationNumber(const std::string& text) {
  if (text.empty() || text.size() > 6) return -1;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

TSendServerInfoRequestThread::TSendServerInfoRequestThread(Discovery& discovery, std::string ip,
                                                           std::string location,
                                                           std::shared_ptr<std::atomic<bool>> pending,
                                                           ServerInfoSink sink)
    : discovery_(discovery),
      ip_text_(std::move(ip)),
      location_(std::move(location)),
      pending_(std::move(pending)),
      sink_(std::move(sink)) {}

void TSendServerInfoRequestThread::Deliver(Worker& w, const Record& record) {
  ServerInfo info = ParseServerInfo(record, discovery_.Codec());
  if (sink_) w.RunOnMainThread([&] { sink_(info); });
}

bool TSendServerInfoRequestThread::QueryOverTcp(Worker& w, const net::Ipv4& ip) {
  // The configuration connection is refused while the sockets are not ready.
  if (!discovery_.Sockets().SocketsReady()) return false;
  const DiscoverySettings& s = discovery_.Settings();
  auto connection = discovery_.Network().ConnectTcp(net::Endpoint{ip, s.config_port}, s.info_connect_timeout);
  if (!connection.ok()) return false;
  net::TcpStream& stream = *connection.value;
  stream.SetReceiveTimeout(s.info_receive_timeout);
  if (!stream.Send(BuildDiscoveryRequest(Mac{}, discovery_.GetClock().LocalNow())).ok()) return false;
  for (int failures = 0; failures < 3 && !w.Terminated();) {
    std::array<uint8_t, kReceiveBufferSize> buffer{};
    auto got = stream.Receive(buffer);
    if (got.ok() && got.value == 0) return false;  // the server closed the connection
    std::span<const uint8_t> bytes(buffer.data(), got.ok() ? got.value : 0);
    // A reply, not our own request coming back (TCP may deliver both in one
    // read, so the whole buffer is searched).
    if (got.ok() && bytes.size() == kRecordSize && ContainsBytes(bytes, kReplyMagic) &&
        !ContainsBytes(bytes, kRequestMagic)) {
      Record record;
      std::copy(bytes.begin(), bytes.end(), record.begin());
      Deliver(w, record);
      return true;
    }
    ++failures;
  }
  return false;
}

void TSendServerInfoRequestThread::Execute(Worker& w) {
  const int location = LocationNumber(location_);
  auto ip = net::Ipv4::Parse(ip_text_);
  if ((location == 1 || location == 3) && ip && QueryOverTcp(w, *ip)) {
    pending_->store(false);
    return;
  }
  if (location < 0 || location > 3) return;  // unknown location: the flag stays set

  discovery_.FindQuorinSend();
  const DiscoverySettings& s = discovery_.Settings();
  for (int i = 0; i < s.table_polls && ip && !w.Terminated(); ++i) {
    if (auto entry = discovery_.Table().Find(*ip)) {
      Deliver(w, *entry);
      break;
    }
    discovery_.GetMainThread().ProcessMessages();
    discovery_.GetClock().SleepFor(s.table_poll_interval);
  }
  pending_->store(false);
}

ServerInfoRequests::ServerInfoRequests(Discovery& discovery) : discovery_(discovery) {}

ServerInfoRequests::~ServerInfoRequests() {
  {
    std::lock_guard lock(mutex_);
    for (WorkerThread& job : jobs_) job.Terminate();
  }
  WaitAll();
}

void ServerInfoRequests::StartServerInfoRequest(const std::string& ip, const std::string& location,
                                                std::shared_ptr<std::atomic<bool>> pending,
                                                ServerInfoSink sink) {
  if (!pending) return;
  bool expected = false;
  const bool start = pending->compare_exchange_strong(expected, true);
  TraceLine("SSIR Thread Start (" + ip + ") Getting : " + (start ? "0" : "1"));
  if (!start) return;
  Reap();
  std::lock_guard lock(mutex_);
  WorkerThread& job = jobs_.emplace_back(discovery_.GetMainThread(), "TSendServerInfoRequestThread",
                                         WorkerThread::Priority::kAboveNormal);
  auto query =
      std::make_shared<TSendServerInfoRequestThread>(discovery_, ip, location, pending, std::move(sink));
  if (!job.Start([query](Worker& w) { query->Execute(w); })) pending->store(false);
}

size_t ServerInfoRequests::Running() const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const WorkerThread& j : jobs_) n += j.Finished() ? 0 : 1;
  return n;
}

void ServerInfoRequests::Reap() {
  std::list<WorkerThread> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = jobs_.begin(); it != jobs_.end();) {
      auto next = std::next(it);
      if (it->Finished()) finished.splice(finished.end(), jobs_, it);
      it = next;
    }
  }
  // Destroyed here, outside the lock: each joins its ended thread.
}

void ServerInfoRequests::WaitAll() {
  // No pointer to a query is held while waiting: a hand-over served meanwhile
  // may start a query and forget the ended ones.
  WaitServingMainThread(discovery_.GetMainThread(), [this] { return Running() == 0; });
  Reap();
}

}  // namespace vx::discovery
