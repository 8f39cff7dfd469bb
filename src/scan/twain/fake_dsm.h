// A data source manager with one simulated source behind it, for the tests
// of the TWAIN component: it lists sources, opens and closes them, answers
// the message hook's events from a queue the test fills, negotiates the
// resolution within a list, and transfers scripted pages (good, failing,
// cancelled, without a picture, with a bad picture) as DIBs in heap memory.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "scan/twain/twain_ports.h"

namespace vx::scan::twain::testing {

// A packed DIB: 40-byte info header, grey or two-colour palette for 1 and 8
// bits, rows padded to 4 bytes.
std::vector<uint8_t> MakeDib(int width, int height, int bits, int dpi = 0);

class FakeDsm final : public TwainManagerLibrary {
 public:
  enum class Transfer { kPage, kFail, kCancel, kNoPicture, kBadBits, kEmptyPage, kShortPicture };

  struct Page {
    Transfer transfer = Transfer::kPage;
    int width = 40;
    int height = 30;
    int bits = 24;
  };

  FakeDsm();

  // --- Set-up -----------------------------------------------------------
  bool load_fails = false;
  bool open_source_fails = false;
  bool enable_fails = false;
  bool end_transfer_fails = false;
  std::vector<std::string> source_names{"Lab Scanner"};
  std::vector<Page> pages;  // the batch a feeder holds
  std::vector<int> resolutions{75, 150, 300, 600};
  int resolution = 300;
  // Queued answers to the hook's events (TWMessage values).
  std::deque<uint16_t> events;
  // Called after each source call (a test can steer the source from it).
  std::function<void(uint16_t dat, uint16_t msg)> after_call;

  // --- What happened ----------------------------------------------------
  std::vector<std::string> calls;  // "DAT/MSG" names in order, e.g. "USERINTERFACE/ENABLEDS"
  bool manager_open = false;
  bool source_open = false;
  bool source_enabled = false;
  uint16_t last_show_ui = 0;
  uint16_t last_xfer_mech = 0xFFFF;
  void* last_parent = nullptr;
  int loads = 0;
  int unloads = 0;
  int transfers = 0;
  TW_IDENTITY last_origin{};
  size_t Count(const std::string& call) const;

  // --- TwainManagerLibrary ----------------------------------------------
  bool Load() override;
  void Unload() override;
  bool Loaded() const override { return loaded_; }
  uint16_t Call(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                void* data) override;
  bool AnySourceInstalled() const override { return !source_names.empty(); }
  std::string Name() const override { return "fake"; }

 private:
  uint16_t Manager(uint16_t dat, uint16_t msg, void* data);
  uint16_t Source(uint32_t dg, uint16_t dat, uint16_t msg, void* data);
  uint16_t NativeTransfer(void* data);
  uint16_t SetCapability(void* data);

  bool loaded_ = false;
  size_t next_source_ = 0;
  size_t page_ = 0;  // next page of `pages`
  uint32_t next_id_ = 100;
  uint32_t open_id_ = 0;
};

}  // namespace vx::scan::twain::testing
