// The ports of the TWAIN component: the manager library with its entry point,
// the movable global memory that TWAIN hands over (containers and pictures),
// and the application's message hook. `win32/` holds the Windows adapters;
// natively there is no manager and tests use a fake.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "scan/twain/twain_records.h"

namespace vx::scan::twain {

// The data source manager library of the process.
class TwainManagerLibrary {
 public:
  virtual ~TwainManagerLibrary() = default;
  // Loads the library and takes its entry point; true when loaded (also when
  // it was loaded before).
  virtual bool Load() = 0;
  // Forgets the entry point and frees the library.
  virtual void Unload() = 0;
  virtual bool Loaded() const = 0;
  // The entry point; the library must be loaded.
  virtual uint16_t Call(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat,
                        uint16_t msg, void* data) = 0;
  // True when a data source file ("*.DS", any case) lies in the sources' folders.
  virtual bool AnySourceInstalled() const = 0;
  // The library's file name, for messages.
  virtual std::string Name() const = 0;
};

// Movable global memory blocks (what a TWAIN handle names).
class GlobalMemory {
 public:
  virtual ~GlobalMemory() = default;
  // A zeroed, movable block; null when none could be had.
  virtual void* Alloc(size_t size) = 0;
  virtual void* Lock(void* handle) = 0;
  virtual void Unlock(void* handle) = 0;
  virtual void Free(void* handle) = 0;
  // The block's size in bytes; 0 for an invalid handle.
  virtual size_t Size(void* handle) = 0;
};

// Blocks on the process heap, for tests and the native build.
GlobalMemory& HeapMemory();

// An owned global block (a picture handed over by a source).
class GlobalBlock {
 public:
  GlobalBlock() = default;
  GlobalBlock(GlobalMemory& memory, void* handle) : memory_(&memory), handle_(handle) {}
  GlobalBlock(GlobalBlock&& other) noexcept { *this = std::move(other); }
  GlobalBlock& operator=(GlobalBlock&& other) noexcept;
  ~GlobalBlock() { Reset(); }

  explicit operator bool() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }
  void Reset();
  // Runs `use` with the block's bytes while it is locked; false when it cannot
  // be locked (the bytes are then empty).
  bool WithBytes(const std::function<void(std::span<const uint8_t>)>& use) const;

 private:
  GlobalMemory* memory_ = nullptr;
  void* handle_ = nullptr;
};

// The application's message hook: every message the application's loop takes
// goes first to the installed handler, which sets `handled` when the message
// must not be dispatched. The process has one.
using AppMessageHandler = std::function<void(void* message, bool& handled)>;

class ApplicationMessages {
 public:
  AppMessageHandler OnMessage() const { return handler_; }
  void SetOnMessage(AppMessageHandler handler) { handler_ = std::move(handler); }
  // What the message loop calls for each message; true when handled.
  bool Filter(void* message) const;

 private:
  AppMessageHandler handler_;
};

ApplicationMessages& TheApplicationMessages();

// The message loop of a program without windows of its own (the command
// line): a window to act as the manager's parent and a pump that passes every
// message through the application's hook.
class TwainMessageLoop {
 public:
  virtual ~TwainMessageLoop() = default;
  // The parent window handle; null when there is none.
  virtual void* ParentWindow() = 0;
  // Pumps messages until `done()` or the time-out; true when `done()`.
  virtual bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
};

// The system's adapters (Windows); natively a library that never loads and a
// loop without messages.
TwainManagerLibrary& SystemTwainLibrary();
GlobalMemory& SystemGlobalMemory();
std::unique_ptr<TwainMessageLoop> MakeSystemMessageLoop(ApplicationMessages& messages);

}  // namespace vx::scan::twain
