#include "scan/twain/qvtwain.h"

#include <cstring>

#include "platform/trace.h"

namespace vx::scan::twain {
namespace {

constexpr char kLoadError[] = "Unable to load or find: TWAIN_32.DLL";
constexpr char kCloseManagerError[] =
    "Unable to close the Data Source Manager. Maybe a source is still in use";
constexpr char kManagerMustBeOpen[] = "Data Source Manager must be open";
constexpr char kSourceMustBeOpen[] = "Data Source must be open";

constexpr uint16_t kTrue = 0xFFFF;

void Fire(const TQVTWAIN::Event& event, TQVTWAIN& sender) {
  if (event) event(sender);
}

}  // namespace

TImageType ImageTypeFromCode(int code) {
  return code >= 0 && code <= 9 ? static_cast<TImageType>(code) : TImageType::ffUNKNOWN;
}

TQVTWAIN::TQVTWAIN(TwainPorts ports) : ports_(ports) {
  app_.Version.MajorNum = 1;
  app_.Version.MinorNum = 0;
  SetVersionInfo("Twain component");
  SetLanguage(TLanguageType::lgAmerican);
  SetCountry(TCountryType::ctUSA);
  app_.ProtocolMajor = 1;
  app_.ProtocolMinor = 7;
  app_.SupportedGroups = kSupportedGroups;
}

TQVTWAIN::~TQVTWAIN() {
  // The order matters: a manager is only closed without an open source.
  try {
    if (source_enabled_) DisableDataSource();
    if (source_open_) CloseDataSource();
    if (manager_open_) CloseDataSourceManager();
    fUnloadTwain();
  } catch (const std::exception& e) {
    TraceLine(std::string("TWAIN: ") + e.what());
  }
  if (hooked_) ports_.messages.SetOnMessage(std::move(previous_handler_));
}

void TQVTWAIN::Require(bool condition, const char* text) const {
  if (!condition) throw ETwainError(text);
}

void TQVTWAIN::InitTWAIN(void* parent_window) {
  parent_ = parent_window;
  app_.Id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parent_window));
  fLoadTwain();
  if (!hooked_) {
    // Our handler first, then the one that was there before, with our verdict.
    previous_handler_ = ports_.messages.OnMessage();
    ports_.messages.SetOnMessage([this](void* message, bool& handled) {
      handled = ProcessSourceMessage(message);
      if (previous_handler_) previous_handler_(message, handled);
    });
    hooked_ = true;
  }
  OpenDataSourceManager();
}

bool TQVTWAIN::fLoadTwain() {
  if (!ports_.library.Loaded()) ports_.library.Load();
  return ports_.library.Loaded();
}

void TQVTWAIN::fUnloadTwain() { ports_.library.Unload(); }

uint16_t TQVTWAIN::CallDataSourceManager(TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                                         void* data) {
  if (!ports_.library.Loaded()) return TWRC_FAILURE;
  return ports_.library.Call(&app_, destination, dg, dat, msg, data);
}

uint16_t TQVTWAIN::CallDataSource(uint32_t dg, uint16_t dat, uint16_t msg, void* data) {
  return CallDataSourceManager(&source_, dg, dat, msg, data);
}

void TQVTWAIN::OpenDataSourceManager() {
  if (manager_open_) return;
  if (!fLoadTwain()) throw ETwainError(kLoadError);
  app_.ProtocolMajor = 1;
  app_.ProtocolMinor = 7;
  app_.SupportedGroups = kSupportedGroups;
  if (CallDataSourceManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent_) == TWRC_SUCCESS)
    manager_open_ = true;
}

void TQVTWAIN::CloseDataSourceManager() {
  if (source_open_) throw ETwainError(kCloseManagerError);
  if (manager_open_) {
    CallDataSourceManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent_);
    manager_open_ = false;
  }
  fUnloadTwain();
}

void TQVTWAIN::OpenDataSource() {
  Require(manager_open_, kManagerMustBeOpen);
  if (source_open_) return;
  if (CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_) == TWRC_SUCCESS)
    source_open_ = true;
}

void TQVTWAIN::CloseDataSource() {
  Require(manager_open_, kManagerMustBeOpen);
  if (!source_open_) return;
  CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
  source_open_ = false;
  source_enabled_ = false;
}

uint16_t TQVTWAIN::EnableDataSource() {
  Require(source_open_, kSourceMustBeOpen);
  if (source_enabled_) return TWRC_SUCCESS;
  TW_USERINTERFACE ui{};
  ui.ShowUI = ShowUI ? kTrue : 0;
  ui.ModalUI = kTrue;
  ui.hParent = parent_;
  const uint16_t rc = CallDataSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  source_enabled_ = rc == TWRC_SUCCESS;
  return rc;
}

void TQVTWAIN::DisableDataSource() {
  Require(source_open_, kSourceMustBeOpen);
  if (!source_enabled_) return;
  TW_USERINTERFACE ui{};
  ui.ShowUI = kTrue;
  ui.ModalUI = kTrue;
  ui.hParent = parent_;
  CallDataSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  source_enabled_ = false;
}

uint16_t TQVTWAIN::GetImageInfo(TW_IMAGEINFO& info) {
  TW_IMAGEINFO read{};
  const uint16_t rc = CallDataSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &read);
  if (rc == TWRC_SUCCESS) info = read;
  return rc;
}

bool TQVTWAIN::SetOneValue(uint16_t cap, uint16_t item_type, uint32_t item) {
  void* handle = ports_.memory.Alloc(sizeof(TW_ONEVALUE));
  if (!handle) return false;
  if (void* bytes = ports_.memory.Lock(handle)) {
    TW_ONEVALUE one{item_type, item};
    std::memcpy(bytes, &one, sizeof one);
    ports_.memory.Unlock(handle);
  }
  TW_CAPABILITY capability{cap, TWON_ONEVALUE, handle};
  const uint16_t rc = CallDataSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
  ports_.memory.Free(handle);
  return rc == TWRC_SUCCESS;
}

bool TQVTWAIN::SetImageInfo(const TW_IMAGEINFO& info) {
  uint32_t item = 0;
  static_assert(sizeof(TW_FIX32) == sizeof item);
  std::memcpy(&item, &info.XResolution, sizeof item);
  SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, item);
  return SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, item);
}

void TQVTWAIN::XferMech() {
  Destination = TTransferType::xfNative;
  SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE);
}

uint16_t TQVTWAIN::Acquire() {
  OpenDataSourceManager();
  if (manager_open_) OpenDataSource();
  // A manager or source that did not open cannot enable anything: report a
  // failed start, which the caller sees as a source that is not enabled.
  if (!source_open_) {
    Destination = TTransferType::xfNative;
    return TWRC_FAILURE;
  }
  XferMech();
  return EnableDataSource();
}

void TQVTWAIN::fNativeXfer() {
  void* handle = nullptr;
  const uint16_t rc = CallDataSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
  if (rc == TWRC_XFERDONE) {
    dib_ = GlobalBlock(ports_.memory, handle);
  } else {
    if (handle) ports_.memory.Free(handle);
    transfer_failed_ = true;
  }
}

void TQVTWAIN::RunTransfers() {
  last_page_ = false;
  cancel_ = false;
  transfer_failed_ = false;
  dib_.Reset();
  bool done = false;
  while (!done) {
    Fire(OnScanStart, *this);
    if (cancel_) {
      last_page_ = true;
      done = true;
    } else {
      dib_.Reset();  // a page the last handler left behind
      fNativeXfer();
    }
    if (!done) {
      TW_PENDINGXFERS pending{};
      // A source that cannot end the transfer has no more pages to give.
      if (CallDataSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS)
        pending.Count = 0;
      last_page_ = pending.Count == 0;
      if (pending.Count == 0) done = true;
    }
    if (transfer_failed_ || cancel_) {
      last_page_ = true;
      done = true;
      TW_PENDINGXFERS pending{};
      CallDataSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    }
    if (!cancel_) Fire(OnScanReady, *this);
  }
  if (source_enabled_) DisableDataSource();
  if (source_open_) CloseDataSource();
  if (transfer_failed_) Fire(OnScanCancel, *this);
}

bool TQVTWAIN::ProcessSourceMessage(void* message) {
  if (!manager_open_ || !source_open_) return false;
  TW_EVENT event{message, MSG_NULL};
  const uint16_t rc = CallDataSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      // Pages only come from an enabled source.
      if (source_enabled_) RunTransfers();
      break;
    case MSG_CLOSEDSREQ:
      DisableDataSource();
      CloseDataSource();
      Fire(OnScanClose, *this);
      break;
    case MSG_CLOSEDSOK:
      DisableDataSource();
      CloseDataSource();
      break;
    default:
      break;
  }
  return rc != TWRC_NOTDSEVENT;
}

}  // namespace vx::scan::twain
