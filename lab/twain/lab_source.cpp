#include "lab/twain/lab_source.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "scan/twain/twain_identity.h"

namespace vx::lab::twain {
namespace {

constexpr uint16_t TWCC_CAPUNSUPPORTED = 13;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool Number(std::string_view s, int low, int high, int& out) {
  s = Trim(s);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out >= low && out <= high;
}

template <typename T, typename Parse>
bool List(std::string_view s, std::vector<T>& out, Parse parse) {
  out.clear();
  while (true) {
    const size_t comma = s.find(',');
    T item;
    if (!parse(s.substr(0, comma), item)) return false;
    out.push_back(item);
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

void PutLe32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t Stride(int width, int bits) { return (static_cast<size_t>(width) * bits + 31) / 32 * 4; }

// A small generator for the paper's grain and the word lengths.
struct Lcg {
  uint32_t state;
  uint32_t Next() { return state = state * 1664525u + 1013904223u; }
};

}  // namespace

std::optional<LabScannerConfig> ParseLabScannerConfig(std::string_view text, std::string* error) {
  LabScannerConfig c;
  int line_no = 0;
  auto refuse = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(line_no) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++line_no;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return refuse("no '='");
    const std::string_view key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    bool ok = true;
    if (key == "name") {
      ok = !value.empty() && value.size() <= 32;
      c.name = std::string(value);
    } else if (key == "pages") {
      ok = Number(value, 0, 10000, c.pages);
    } else if (key == "size") {
      ok = List(value, c.sizes, [](std::string_view s, PageSize& p) {
        const size_t x = s.find('x');
        return x != std::string_view::npos && Number(s.substr(0, x), 1, 1000, p.width_mm) &&
               Number(s.substr(x + 1), 1, 1000, p.height_mm);
      });
    } else if (key == "bits") {
      ok = List(value, c.bits, [](std::string_view s, int& b) {
        return Number(s, 1, 24, b) && (b == 1 || b == 8 || b == 24);
      });
    } else if (key == "resolutions") {
      ok = List(value, c.resolutions, [](std::string_view s, int& r) { return Number(s, 1, 2400, r); });
    } else if (key == "dpi") {
      ok = Number(value, 1, 2400, c.dpi);
    } else if (key == "fail_after") {
      ok = Number(value, 0, 10000, c.fail_after);
    } else if (key == "cancel_after") {
      ok = Number(value, 0, 10000, c.cancel_after);
    } else if (key == "close_after") {
      ok = Number(value, 0, 10000, c.close_after);
    } else if (key == "ready_twice") {
      ok = value == "yes" || value == "no";
      c.ready_twice = value == "yes";
    } else {
      return refuse("unknown key '" + std::string(key) + "'");
    }
    if (!ok) return refuse("bad value for " + std::string(key));
  }
  if (std::find(c.resolutions.begin(), c.resolutions.end(), c.dpi) == c.resolutions.end())
    return refuse("dpi " + std::to_string(c.dpi) + " is not among the resolutions");
  return c;
}

int SideInPixels(int millimetres, int dpi) {
  return std::max(1, static_cast<int>(std::lround(millimetres * dpi / 25.4)));
}

size_t DibSize(const LabScannerConfig& config, int n, int x_dpi, int y_dpi) {
  const PageSize& size = config.sizes[static_cast<size_t>(n) % config.sizes.size()];
  const int bits = config.bits[static_cast<size_t>(n) % config.bits.size()];
  const int colours = bits <= 8 ? 1 << bits : 0;
  return 40 + 4 * static_cast<size_t>(colours) +
         Stride(SideInPixels(size.width_mm, x_dpi), bits) * SideInPixels(size.height_mm, y_dpi);
}

void DrawPage(const LabScannerConfig& config, int n, int x_dpi, int y_dpi, uint8_t* out) {
  const PageSize& size = config.sizes[static_cast<size_t>(n) % config.sizes.size()];
  const int bits = config.bits[static_cast<size_t>(n) % config.bits.size()];
  const int w = SideInPixels(size.width_mm, x_dpi), h = SideInPixels(size.height_mm, y_dpi);
  const int colours = bits <= 8 ? 1 << bits : 0;
  const size_t stride = Stride(w, bits);

  std::memset(out, 0, 40);
  PutLe32(out, 40);
  PutLe32(out + 4, static_cast<uint32_t>(w));
  PutLe32(out + 8, static_cast<uint32_t>(h));  // bottom-up
  out[12] = 1;
  out[14] = static_cast<uint8_t>(bits);
  PutLe32(out + 20, static_cast<uint32_t>(stride * h));
  PutLe32(out + 24, static_cast<uint32_t>(std::lround(x_dpi * 39.37)));
  PutLe32(out + 28, static_cast<uint32_t>(std::lround(y_dpi * 39.37)));
  for (int i = 0; i < colours; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (colours - 1));
    uint8_t* entry = out + 40 + 4 * i;
    entry[0] = entry[1] = entry[2] = level;
    entry[3] = 0;
  }
  uint8_t* pixels = out + 40 + 4 * colours;

  // Layout in pixels: margins, lines of words, a photo block, page marks.
  const int margin_x = w / 12, margin_y = h / 14;
  const int line_h = std::max(3, y_dpi / 6), bar_h = std::max(1, line_h / 2);
  const int photo_x0 = w / 2, photo_x1 = w - margin_x, photo_y0 = margin_y + 3 * line_h,
            photo_y1 = photo_y0 + (photo_x1 - photo_x0) * 3 / 4;
  const int mark = std::max(2, x_dpi / 10);

  // Paper with a little grain: one strip of grain, read from a different
  // place for each row, keeps the drawing cheap next to the transfer.
  constexpr int kGrainSpan = 4096;
  std::vector<uint8_t> paper(static_cast<size_t>(w + kGrainSpan) * 3);
  Lcg grain{static_cast<uint32_t>(n) * 7919u + 17u};
  for (size_t i = 0; i < paper.size(); i += 3) {
    const int g = static_cast<int>(grain.Next() >> 29) - 3;
    paper[i] = static_cast<uint8_t>(236 + g);  // blue, green, red as a DIB holds them
    paper[i + 1] = static_cast<uint8_t>(243 + g);
    paper[i + 2] = static_cast<uint8_t>(245 + g);
  }
  std::vector<uint8_t> line_buffer(static_cast<size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = pixels + stride * static_cast<size_t>(h - 1 - y);
    // A 24-bit page is drawn in place; other depths from a line of BGR.
    uint8_t* bgr = bits == 24 ? row : line_buffer.data();
    const size_t shift = static_cast<size_t>(grain.Next() >> 20) % kGrainSpan;
    std::memcpy(bgr, paper.data() + 3 * shift, static_cast<size_t>(w) * 3);
    const bool in_photo_rows = y >= photo_y0 && y < photo_y1;
    if (y >= margin_y && y < h - margin_y && (y - margin_y) % line_h < bar_h) {
      // The words of this line, the same for every row of it.
      Lcg line{static_cast<uint32_t>((y - margin_y) / line_h) * 131u + static_cast<uint32_t>(n)};
      const int right =
          in_photo_rows || (y >= photo_y0 - line_h && y < photo_y1) ? photo_x0 - x_dpi / 10 : w - margin_x;
      for (int x = margin_x; x < right;) {
        const int len = static_cast<int>(line.Next() >> 24) % (x_dpi / 2 + 1) + x_dpi / 20 + 1;
        const int end = std::min(x + len, right);
        if (end > x) std::memset(bgr + 3 * x, 40, static_cast<size_t>(end - x) * 3);
        x += len + std::max(1, x_dpi / 16);
      }
    }
    if (in_photo_rows) {
      for (int x = photo_x0; x < photo_x1; ++x) {
        const int fx = (x - photo_x0) * 255 / std::max(1, photo_x1 - photo_x0);
        const int fy = (y - photo_y0) * 255 / std::max(1, photo_y1 - photo_y0);
        bgr[3 * x] = static_cast<uint8_t>((fx + fy) / 2 ^ 0x80);
        bgr[3 * x + 1] = static_cast<uint8_t>(fy);
        bgr[3 * x + 2] = static_cast<uint8_t>(fx);
      }
    }
    if (y >= mark && y < 2 * mark) {
      for (int k = 0; k <= n && (2 * k + 2) * mark < w; ++k)
        std::memset(bgr + 3 * (2 * k + 1) * mark, 0, static_cast<size_t>(mark) * 3);
    }

    auto grey = [&](int x) { return (bgr[3 * x + 2] * 3 + bgr[3 * x + 1] * 6 + bgr[3 * x]) / 10; };
    if (bits == 24) {
      std::memset(row + 3 * static_cast<size_t>(w), 0, stride - 3 * static_cast<size_t>(w));  // padding
    } else if (bits == 8) {
      for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(grey(x));
      std::memset(row + w, 0, stride - static_cast<size_t>(w));
    } else {
      std::memset(row, 0, stride);
      for (int x = 0; x < w; ++x)
        if (grey(x) >= 128) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
}

std::vector<uint8_t> DrawPage(const LabScannerConfig& config, int n, int x_dpi, int y_dpi) {
  std::vector<uint8_t> dib(DibSize(config, n, x_dpi, y_dpi));
  DrawPage(config, n, x_dpi, y_dpi, dib.data());
  return dib;
}

LabSource::LabSource(LabScannerConfig config, GlobalMemory& memory, std::function<void(void*)> notify,
                     std::function<bool(void*)> is_notification)
    : config_(std::move(config)),
      memory_(memory),
      notify_(std::move(notify)),
      is_notification_(std::move(is_notification)),
      x_dpi_(config_.dpi),
      y_dpi_(config_.dpi) {}

uint16_t LabSource::Fail(uint16_t condition) {
  condition_ = condition;
  return TWRC_FAILURE;
}

void LabSource::Announce(uint16_t event) {
  events_.push_back(event);
  if (notify_) notify_(parent_);
}

uint16_t LabSource::Entry(TW_IDENTITY*, uint32_t dg, uint16_t dat, uint16_t msg, void* data) {
  if (dg == DG_CONTROL) return Control(dat, msg, data);
  if (dg == DG_IMAGE) return Image(dat, msg, data);
  return Fail(TWCC_BADPROTOCOL);
}

uint16_t LabSource::Control(uint16_t dat, uint16_t msg, void* data) {
  if (!data && dat != DAT_PENDINGXFERS) return Fail(TWCC_BADVALUE);
  switch (dat) {
    case DAT_IDENTITY: {
      auto* id = static_cast<TW_IDENTITY*>(data);
      if (msg == MSG_GET) {
        const uint32_t keep = id->Id;
        *id = TW_IDENTITY{};
        id->Id = keep;
        id->Version.MajorNum = 1;
        SetStr32(id->Version.Info, "lab scanner");
        id->Version.Language = 13;
        id->Version.Country = 1;
        id->ProtocolMajor = 1;
        id->ProtocolMinor = 9;
        id->SupportedGroups = kSupportedGroups;
        SetStr32(id->Manufacturer, "Vessix Lab");
        SetStr32(id->ProductFamily, "Lab Scanner");
        SetStr32(id->ProductName, config_.name);
        return TWRC_SUCCESS;
      }
      if (msg == MSG_OPENDS) {
        if (open_) return Fail(TWCC_SEQERROR);
        open_ = true;
        x_dpi_ = y_dpi_ = config_.dpi;
        events_.clear();
        return TWRC_SUCCESS;
      }
      if (msg == MSG_CLOSEDS) {
        open_ = enabled_ = false;
        return TWRC_SUCCESS;
      }
      return Fail(TWCC_BADPROTOCOL);
    }
    case DAT_USERINTERFACE: {
      auto* ui = static_cast<TW_USERINTERFACE*>(data);
      if (msg == MSG_ENABLEDS) {
        if (!open_ || enabled_) return Fail(TWCC_SEQERROR);
        enabled_ = true;
        parent_ = ui->hParent;
        page_ = 0;
        remaining_ = config_.pages;
        events_.clear();
        // No dialog: the batch is ready at once (announced twice when told to).
        Announce(remaining_ > 0 ? MSG_XFERREADY : MSG_CLOSEDSREQ);
        if (config_.ready_twice && remaining_ > 0) Announce(MSG_XFERREADY);
        return TWRC_SUCCESS;
      }
      if (msg == MSG_DISABLEDS) {
        enabled_ = false;
        return TWRC_SUCCESS;
      }
      return Fail(TWCC_BADPROTOCOL);
    }
    case DAT_EVENT: {
      if (msg != MSG_PROCESSEVENT) return Fail(TWCC_BADPROTOCOL);
      auto* event = static_cast<TW_EVENT*>(data);
      event->TWMessage = MSG_NULL;
      if (!is_notification_ || !is_notification_(event->pEvent)) return TWRC_NOTDSEVENT;
      if (!events_.empty()) {
        event->TWMessage = events_.front();
        events_.erase(events_.begin());
      }
      return TWRC_DSEVENT;
    }
    case DAT_CAPABILITY:
      return Capability(msg, static_cast<TW_CAPABILITY*>(data));
    case DAT_PENDINGXFERS: {
      auto* pending = static_cast<TW_PENDINGXFERS*>(data);
      if (!pending) return Fail(TWCC_BADVALUE);
      if (msg == MSG_RESET) remaining_ = 0;
      if (msg == MSG_ENDXFER && config_.close_after >= 0 && page_ >= config_.close_after && remaining_ > 0) {
        remaining_ = 0;
        Announce(MSG_CLOSEDSREQ);
      }
      if (msg != MSG_RESET && msg != MSG_ENDXFER && msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
      pending->Count = static_cast<uint16_t>(std::max(remaining_, 0));
      pending->EOJ = 0;
      return TWRC_SUCCESS;
    }
    case DAT_STATUS: {
      auto* status = static_cast<TW_STATUS*>(data);
      status->ConditionCode = condition_;
      status->Reserved = 0;
      condition_ = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

uint16_t LabSource::Capability(uint16_t msg, TW_CAPABILITY* cap) {
  if (msg != MSG_SET) return Fail(TWCC_CAPUNSUPPORTED);
  if (cap->ConType != TWON_ONEVALUE || memory_.Size(cap->hContainer) < sizeof(TW_ONEVALUE))
    return Fail(TWCC_BADVALUE);
  TW_ONEVALUE one{};
  const void* bytes = memory_.Lock(cap->hContainer);
  if (!bytes) return Fail(TWCC_BADVALUE);
  std::memcpy(&one, bytes, sizeof one);
  memory_.Unlock(cap->hContainer);
  if (cap->Cap == ICAP_XFERMECH)
    return one.ItemType == TWTY_UINT16 && one.Item == TWSX_NATIVE ? TWRC_SUCCESS : Fail(TWCC_BADVALUE);
  if (cap->Cap == ICAP_XRESOLUTION || cap->Cap == ICAP_YRESOLUTION) {
    if (one.ItemType != TWTY_FIX32) return Fail(TWCC_BADVALUE);
    TW_FIX32 fix;
    std::memcpy(&fix, &one.Item, sizeof fix);
    const int dpi = RoundedDpi(fix);
    if (std::find(config_.resolutions.begin(), config_.resolutions.end(), dpi) == config_.resolutions.end())
      return Fail(TWCC_BADVALUE);
    (cap->Cap == ICAP_XRESOLUTION ? x_dpi_ : y_dpi_) = dpi;
    return TWRC_SUCCESS;
  }
  return Fail(TWCC_CAPUNSUPPORTED);
}

uint16_t LabSource::Image(uint16_t dat, uint16_t msg, void* data) {
  if (!data || msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (dat == DAT_IMAGEINFO) {
    auto* info = static_cast<TW_IMAGEINFO*>(data);
    const int bits = Bits(page_);
    *info = TW_IMAGEINFO{};
    info->XResolution = DoubleToFix32(x_dpi_);
    info->YResolution = DoubleToFix32(y_dpi_);
    info->ImageWidth = SideInPixels(Size(page_).width_mm, x_dpi_);
    info->ImageLength = SideInPixels(Size(page_).height_mm, y_dpi_);
    info->SamplesPerPixel = bits == 24 ? 3 : 1;
    info->BitsPerSample[0] = static_cast<int16_t>(bits == 24 ? 8 : bits);
    if (bits == 24) info->BitsPerSample[1] = info->BitsPerSample[2] = 8;
    info->BitsPerPixel = static_cast<int16_t>(bits);
    info->PixelType = bits == 24 ? TWPT_RGB : bits == 8 ? TWPT_GRAY : TWPT_BW;
    return TWRC_SUCCESS;
  }
  if (dat == DAT_IMAGENATIVEXFER) return Transfer(static_cast<void**>(data));
  return Fail(TWCC_BADPROTOCOL);
}

uint16_t LabSource::Transfer(void** handle) {
  *handle = nullptr;
  if (!enabled_ || remaining_ <= 0) return Fail(TWCC_SEQERROR);
  if (page_ == config_.fail_after) return Fail(TWCC_OPERATIONERROR);
  if (page_ == config_.cancel_after) return TWRC_CANCEL;
  const size_t size = DibSize(config_, page_, x_dpi_, y_dpi_);
  void* block = memory_.Alloc(size);
  auto* bytes = block ? static_cast<uint8_t*>(memory_.Lock(block)) : nullptr;
  if (!bytes) {
    if (block) memory_.Free(block);
    return Fail(TWCC_LOWMEMORY);
  }
  DrawPage(config_, page_, x_dpi_, y_dpi_, bytes);
  memory_.Unlock(block);
  *handle = block;
  ++page_;
  --remaining_;
  ++delivered_;
  return TWRC_XFERDONE;
}

}  // namespace vx::lab::twain
