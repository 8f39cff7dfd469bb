// The Windows adapters under Wine: Wine's manager loads, its source folder is
// found, global blocks behave, and the loop passes messages through the hook.
#include <gtest/gtest.h>
#include <windows.h>

#include "scan/twain/qvtwain.h"
#include "scan/twain/twain_ports.h"

namespace vx::scan::twain {
namespace {

TEST(TwainWin32Test, TheManagerLoadsAndOpensWithAParentWindow) {
  TwainManagerLibrary& library = SystemTwainLibrary();
  ASSERT_TRUE(library.Load()) << "no TWAIN_32.DLL or TWAINDSM.DLL";
  EXPECT_TRUE(library.Loaded());
  // Wine keeps its sources in the 64-bit folder.
  EXPECT_TRUE(library.AnySourceInstalled());

  ApplicationMessages messages;
  auto loop = MakeSystemMessageLoop(messages);
  ASSERT_NE(loop->ParentWindow(), nullptr);
  {
    TQVTWAIN twain(TwainPorts{library, SystemGlobalMemory(), messages});
    twain.InitTWAIN(loop->ParentWindow());
    EXPECT_TRUE(twain.IsDataSourceManagerOpen());
  }
  EXPECT_FALSE(library.Loaded());  // the component unloads it when it ends
}

TEST(TwainWin32Test, GlobalBlocksAreZeroedMovableAndSized) {
  GlobalMemory& memory = SystemGlobalMemory();
  void* handle = memory.Alloc(6);
  ASSERT_NE(handle, nullptr);
  EXPECT_GE(memory.Size(handle), 6u);
  auto* bytes = static_cast<uint8_t*>(memory.Lock(handle));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bytes[i], 0);
  memory.Unlock(handle);
  GlobalBlock block(memory, handle);
  bool seen = false;
  EXPECT_TRUE(block.WithBytes([&](std::span<const uint8_t> b) { seen = b.size() >= 6; }));
  EXPECT_TRUE(seen);
  EXPECT_EQ(memory.Size(nullptr), 0u);
  EXPECT_EQ(memory.Lock(nullptr), nullptr);
}

TEST(TwainWin32Test, TheLoopGivesEveryMessageToTheHookFirst) {
  ApplicationMessages messages;
  auto loop = MakeSystemMessageLoop(messages);
  const UINT probe = RegisterWindowMessageW(L"VessixTwainProbe");
  int seen = 0;
  messages.SetOnMessage([&](void* message, bool& handled) {
    if (static_cast<MSG*>(message)->message == probe) {
      ++seen;
      handled = true;
    }
  });
  PostMessageW(static_cast<HWND>(loop->ParentWindow()), probe, 0, 0);
  PostMessageW(static_cast<HWND>(loop->ParentWindow()), probe, 0, 0);
  EXPECT_TRUE(loop->PumpUntil([&] { return seen == 2; }, std::chrono::seconds(10)));
  // Nothing more arrives: the pump gives up at its time-out.
  EXPECT_FALSE(loop->PumpUntil([&] { return seen == 3; }, std::chrono::milliseconds(50)));
}

}  // namespace
}  // namespace vx::scan::twain
