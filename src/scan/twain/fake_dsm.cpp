#include "scan/twain/fake_dsm.h"

#include <algorithm>
#include <cstring>

#include "scan/twain/twain_identity.h"

namespace vx::scan::twain::testing {
namespace {

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string CallName(uint16_t dat, uint16_t msg) {
  std::string d;
  switch (dat) {
    case DAT_CAPABILITY:
      d = "CAPABILITY";
      break;
    case DAT_EVENT:
      d = "EVENT";
      break;
    case DAT_IDENTITY:
      d = "IDENTITY";
      break;
    case DAT_PARENT:
      d = "PARENT";
      break;
    case DAT_PENDINGXFERS:
      d = "PENDINGXFERS";
      break;
    case DAT_USERINTERFACE:
      d = "USERINTERFACE";
      break;
    case DAT_IMAGEINFO:
      d = "IMAGEINFO";
      break;
    case DAT_IMAGENATIVEXFER:
      d = "IMAGENATIVEXFER";
      break;
    default:
      d = std::to_string(dat);
  }
  std::string m;
  switch (msg) {
    case MSG_GET:
      m = "GET";
      break;
    case MSG_GETFIRST:
      m = "GETFIRST";
      break;
    case MSG_GETNEXT:
      m = "GETNEXT";
      break;
    case MSG_SET:
      m = "SET";
      break;
    case MSG_RESET:
      m = "RESET";
      break;
    case MSG_OPENDSM:
      m = "OPENDSM";
      break;
    case MSG_CLOSEDSM:
      m = "CLOSEDSM";
      break;
    case MSG_OPENDS:
      m = "OPENDS";
      break;
    case MSG_CLOSEDS:
      m = "CLOSEDS";
      break;
    case MSG_ENABLEDS:
      m = "ENABLEDS";
      break;
    case MSG_DISABLEDS:
      m = "DISABLEDS";
      break;
    case MSG_PROCESSEVENT:
      m = "PROCESSEVENT";
      break;
    case MSG_ENDXFER:
      m = "ENDXFER";
      break;
    default:
      m = std::to_string(msg);
  }
  return d + "/" + m;
}

}  // namespace

std::vector<uint8_t> MakeDib(int width, int height, int bits, int dpi) {
  const int colours = bits <= 8 ? 1 << bits : 0;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  std::vector<uint8_t> dib(40 + 4 * static_cast<size_t>(colours) + stride * height);
  PutLe32(dib, 0, 40);
  PutLe32(dib, 4, static_cast<uint32_t>(width));
  PutLe32(dib, 8, static_cast<uint32_t>(height));
  dib[12] = 1;
  dib[14] = static_cast<uint8_t>(bits);
  PutLe32(dib, 20, static_cast<uint32_t>(stride * height));
  const uint32_t ppm = static_cast<uint32_t>(dpi * 39.37 + 0.5);
  PutLe32(dib, 24, ppm);
  PutLe32(dib, 28, ppm);
  for (int i = 0; i < colours; ++i) {
    const auto level = static_cast<uint8_t>(colours == 1 ? 0 : i * 255 / (colours - 1));
    std::fill_n(dib.begin() + 40 + 4 * i, 3, level);
  }
  uint8_t* pixels = dib.data() + 40 + 4 * colours;
  for (size_t i = 0; i < stride * height; ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / stride);
  return dib;
}

FakeDsm::FakeDsm() { pages.assign(3, Page{}); }

size_t FakeDsm::Count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

bool FakeDsm::Load() {
  if (load_fails) return false;
  ++loads;
  loaded_ = true;
  return true;
}

void FakeDsm::Unload() {
  if (loaded_) ++unloads;
  loaded_ = false;
}

uint16_t FakeDsm::Call(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                       void* data) {
  calls.push_back(CallName(dat, msg));
  if (origin) last_origin = *origin;
  uint16_t rc;
  if (destination) {
    rc = source_open && destination->Id == open_id_ ? Source(dg, dat, msg, data) : TWRC_FAILURE;
  } else {
    rc = Manager(dat, msg, data);
  }
  if (after_call) after_call(dat, msg);
  return rc;
}

uint16_t FakeDsm::Manager(uint16_t dat, uint16_t msg, void* data) {
  if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
    last_parent = *static_cast<void**>(data);
    manager_open = true;
    return TWRC_SUCCESS;
  }
  if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
    manager_open = false;
    return TWRC_SUCCESS;
  }
  if (dat != DAT_IDENTITY || !manager_open) return TWRC_FAILURE;
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GETFIRST:
      next_source_ = 0;
      [[fallthrough]];
    case MSG_GETNEXT: {
      if (next_source_ >= source_names.size()) return source_names.empty() ? TWRC_FAILURE : TWRC_ENDOFLIST;
      *identity = TW_IDENTITY{};
      identity->Id = static_cast<uint32_t>(next_source_ + 1);
      // A name that fills the whole field is copied without a terminator.
      const std::string& name = source_names[next_source_++];
      std::memcpy(identity->ProductName, name.data(), std::min(name.size(), kStr32Size));
      return TWRC_SUCCESS;
    }
    case MSG_OPENDS:
      if (open_source_fails || source_open) return TWRC_FAILURE;
      identity->Id = open_id_ = next_id_++;
      source_open = true;
      return TWRC_SUCCESS;
    case MSG_CLOSEDS:
      if (!source_open || identity->Id != open_id_) return TWRC_FAILURE;
      source_open = source_enabled = false;
      return TWRC_SUCCESS;
    default:
      return TWRC_FAILURE;
  }
}

uint16_t FakeDsm::Source(uint32_t dg, uint16_t dat, uint16_t msg, void* data) {
  if (dat == DAT_USERINTERFACE) {
    auto* ui = static_cast<TW_USERINTERFACE*>(data);
    if (msg == MSG_ENABLEDS) {
      last_show_ui = ui->ShowUI;
      if (enable_fails) return TWRC_FAILURE;
      source_enabled = true;
      page_ = 0;  // the feeder is filled again for each batch
      return TWRC_SUCCESS;
    }
    if (msg == MSG_DISABLEDS) {
      source_enabled = false;
      return TWRC_SUCCESS;
    }
  }
  if (dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
    auto* event = static_cast<TW_EVENT*>(data);
    if (events.empty()) {
      event->TWMessage = MSG_NULL;
      return TWRC_NOTDSEVENT;
    }
    event->TWMessage = events.front();
    events.pop_front();
    return TWRC_DSEVENT;
  }
  if (dat == DAT_CAPABILITY && msg == MSG_SET) return SetCapability(data);
  if (dg == DG_IMAGE && dat == DAT_IMAGEINFO && msg == MSG_GET) {
    auto* info = static_cast<TW_IMAGEINFO*>(data);
    const Page& page = pages.empty() ? Page{} : pages[std::min(page_, pages.size() - 1)];
    info->XResolution = info->YResolution = TW_FIX32{static_cast<int16_t>(resolution), 0};
    info->ImageWidth = page.width;
    info->ImageLength = page.height;
    info->BitsPerPixel = static_cast<int16_t>(page.bits);
    info->SamplesPerPixel = page.bits == 24 ? 3 : 1;
    info->PixelType = page.bits == 24 ? TWPT_RGB : page.bits == 1 ? TWPT_BW : TWPT_GRAY;
    return TWRC_SUCCESS;
  }
  if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) return NativeTransfer(data);
  if (dat == DAT_PENDINGXFERS) {
    auto* pending = static_cast<TW_PENDINGXFERS*>(data);
    if (msg == MSG_RESET) page_ = pages.size();
    if (msg == MSG_ENDXFER && end_transfer_fails) return TWRC_FAILURE;
    pending->Count = static_cast<uint16_t>(pages.size() - std::min(page_, pages.size()));
    return TWRC_SUCCESS;
  }
  return TWRC_FAILURE;
}

uint16_t FakeDsm::SetCapability(void* data) {
  auto* cap = static_cast<TW_CAPABILITY*>(data);
  if (cap->ConType != TWON_ONEVALUE) return TWRC_FAILURE;
  TW_ONEVALUE one{};
  GlobalMemory& memory = HeapMemory();
  if (memory.Size(cap->hContainer) < sizeof one) return TWRC_FAILURE;
  std::memcpy(&one, memory.Lock(cap->hContainer), sizeof one);
  memory.Unlock(cap->hContainer);
  if (cap->Cap == ICAP_XFERMECH && one.ItemType == TWTY_UINT16) {
    last_xfer_mech = static_cast<uint16_t>(one.Item);
    return TWRC_SUCCESS;
  }
  if ((cap->Cap == ICAP_XRESOLUTION || cap->Cap == ICAP_YRESOLUTION) && one.ItemType == TWTY_FIX32) {
    TW_FIX32 fix;
    std::memcpy(&fix, &one.Item, sizeof fix);
    if (std::find(resolutions.begin(), resolutions.end(), fix.Whole) == resolutions.end())
      return TWRC_FAILURE;
    resolution = fix.Whole;
    return TWRC_SUCCESS;
  }
  return TWRC_FAILURE;
}

uint16_t FakeDsm::NativeTransfer(void* data) {
  ++transfers;
  auto* out = static_cast<void**>(data);
  *out = nullptr;
  if (page_ >= pages.size()) return TWRC_FAILURE;
  const Page page = pages[page_++];
  std::vector<uint8_t> dib;
  switch (page.transfer) {
    case Transfer::kFail:
      return TWRC_FAILURE;
    case Transfer::kCancel:
      return TWRC_CANCEL;
    case Transfer::kNoPicture:
      return TWRC_XFERDONE;
    case Transfer::kBadBits:
      dib = MakeDib(page.width, page.height, 8, resolution);
      dib[14] = static_cast<uint8_t>(page.bits);
      break;
    case Transfer::kEmptyPage:
      dib = MakeDib(1, 1, page.bits, resolution);
      PutLe32(dib, 4, 0);
      PutLe32(dib, 8, 0);
      break;
    case Transfer::kShortPicture:
      dib = MakeDib(page.width, page.height, page.bits, resolution);
      dib.resize(dib.size() / 2);
      break;
    case Transfer::kPage:
      dib = MakeDib(page.width, page.height, page.bits, resolution);
      break;
  }
  GlobalMemory& memory = HeapMemory();
  void* handle = memory.Alloc(dib.size());
  std::memcpy(memory.Lock(handle), dib.data(), dib.size());
  memory.Unlock(handle);
  *out = handle;
  return TWRC_XFERDONE;
}

}  // namespace vx::scan::twain::testing
