#include "platform/registry/win32/registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/registry/fake_registry.h"
#include "platform/text_codec.h"

namespace vx {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;

// A key of this test process under HKCU, removed with everything in it.
class ScratchKey : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\VessixRegistryTest\\" + std::to_string(GetCurrentProcessId());
    Remove();
  }
  void TearDown() override {
    Remove();
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VessixRegistryTest");  // only when empty
  }
  void Remove() { RegDeleteTreeW(HKEY_CURRENT_USER, Widen(path_).c_str()); }

  std::string path_;
  Registry& reg_ = Win32Registry();
};

TEST_F(ScratchKey, StringsRoundTripIncludingJapanese) {
  RegOpen key = reg_.Create(kCU, path_, RegAccess::kAll);
  ASSERT_EQ(key.status, RegStatus::kOk);
  const std::string japanese = "「Vessix」のインストールに失敗しました。";
  EXPECT_EQ(key.key->WriteString("Title", japanese, false), RegStatus::kOk);
  EXPECT_EQ(key.key->WriteString("Empty", "", false), RegStatus::kOk);
  EXPECT_EQ(key.key->WriteString("Expand", "%TEMP%\\x", true), RegStatus::kOk);

  RegOpen query = reg_.Open(kCU, path_, RegAccess::kQuery);
  ASSERT_EQ(query.status, RegStatus::kOk);
  EXPECT_EQ(query.key->ReadString("Title").text, japanese);
  EXPECT_EQ(query.key->ReadString("title").text, japanese);  // names ignore case
  RegRead empty = query.key->ReadString("Empty");
  EXPECT_EQ(empty.status, RegStatus::kOk);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(query.key->ReadString("Expand").text, "%TEMP%\\x");

  // Stored as the system's own string types, with the terminating NUL.
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Widen(path_).c_str(), L"Expand", RRF_RT_ANY | RRF_NOEXPAND, &type,
                         nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(size, (8u + 1u) * 2u);
}

TEST_F(ScratchKey, MissingKeyAndValueReadAsNotFoundAndOpenDoesNotCreate) {
  EXPECT_EQ(reg_.Open(kCU, path_, RegAccess::kQuery).status, RegStatus::kNotFound);
  EXPECT_EQ(reg_.Open(kCU, path_, RegAccess::kAll).status, RegStatus::kNotFound);
  HKEY probe = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path_).c_str(), 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(reg_.Create(kCU, path_ + "\\Sub", RegAccess::kAll).status, RegStatus::kOk);
  RegOpen key = reg_.Open(kCU, path_, RegAccess::kQuery);
  ASSERT_EQ(key.status, RegStatus::kOk);
  EXPECT_EQ(key.key->ReadString("Absent").status, RegStatus::kNotFound);
  std::vector<std::string> names;
  EXPECT_EQ(key.key->EnumSubKeys(&names), RegStatus::kOk);
  EXPECT_EQ(names, std::vector<std::string>{"Sub"});
  EXPECT_EQ(reg_.Open(kCU, "\\" + path_, RegAccess::kQuery).status, RegStatus::kBadPath);
}

// The adapter and the fake agree on the byte limit and on other types.
TEST_F(ScratchKey, LimitsAndTypesBehaveLikeTheFake) {
  auto key = reg_.Create(kCU, path_, RegAccess::kAll).key;
  ASSERT_TRUE(key);
  key->WriteString("127", std::string(127, 'a'), false);
  key->WriteString("128", std::string(128, 'a'), false);
  DWORD number = 42;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, Widen(path_).c_str(), L"Number", REG_DWORD, &number, sizeof number),
            ERROR_SUCCESS);
  EXPECT_EQ(key->ReadString("127", 256).status, RegStatus::kOk);
  EXPECT_EQ(key->ReadString("128", 256).status, RegStatus::kMoreData);
  EXPECT_EQ(key->ReadString("128").text.size(), 128u);
  EXPECT_EQ(key->ReadString("Number").status, RegStatus::kWrongType);

  auto query_only = reg_.Open(kCU, path_, RegAccess::kQuery).key;
  EXPECT_NE(query_only->WriteString("x", "y", false), RegStatus::kOk);
}

// A fixture dumped by the fake imports into this registry with regedit /S.
// (regedit reads REGEDIT4 text in the ANSI code page, so fixtures meant for
// a Wine prefix keep to ASCII.)
TEST_F(ScratchKey, FakeDumpImportsWithRegedit) {
  FakeRegistry fake;
  fake.SetString(kCU, path_, "Language", "Japanese");
  fake.SetString(kCU, path_, "Quoted", "say \"hi\" C:\\dir");
  fake.SetString(kCU, path_ + "\\Auto-Connect\\MAC_00:11", "ServerName", "srv-1");

  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring file = std::wstring(temp) + L"vx-registry-" + std::to_wstring(GetCurrentProcessId()) + L".reg";
  {
    std::ofstream out(file.c_str(), std::ios::binary);
    out << fake.Dump();
  }
  std::wstring command = L"regedit.exe /S \"" + file + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DeleteFileW(file.c_str());

  auto key = reg_.Open(kCU, path_, RegAccess::kQuery).key;
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Language").text, "Japanese");
  EXPECT_EQ(key->ReadString("Quoted").text, "say \"hi\" C:\\dir");
  auto sub = reg_.Open(kCU, path_ + "\\Auto-Connect\\MAC_00:11", RegAccess::kQuery).key;
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->ReadString("ServerName").text, "srv-1");
}

// Raw reads give the data as stored, for every type, and the same bytes as the
// fake gives for the same value.
TEST_F(ScratchKey, RawValuesAsStored) {
  RegOpen key = reg_.Create(kCU, path_, RegAccess::kAll);
  ASSERT_EQ(key.status, RegStatus::kOk);
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path_).c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
  const wchar_t multi[] = L"USB\\Class_07\0USB\\Class_08\0";  // both terminators
  RegSetValueExW(h, L"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
  const DWORD dword = 0x01020304;
  RegSetValueExW(h, L"Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
  RegCloseKey(h);
  key.key->WriteString("Text", "ab", false);

  RegOpen query = reg_.Open(kCU, path_, RegAccess::kQuery);
  ASSERT_EQ(query.status, RegStatus::kOk);
  RegValueRead m = query.key->ReadValue("multi");
  ASSERT_EQ(m.status, RegStatus::kOk);
  EXPECT_EQ(m.type, kRegMultiSz);
  EXPECT_EQ(m.data, std::string(reinterpret_cast<const char*>(multi), sizeof multi));
  EXPECT_EQ(query.key->ReadValue("Multi", sizeof multi - 1).status, RegStatus::kMoreData);
  RegValueRead d = query.key->ReadValue("Dword");
  EXPECT_EQ(d.type, kRegDword);
  EXPECT_EQ(d.data, std::string("\x04\x03\x02\x01"));
  EXPECT_EQ(query.key->ReadValue("None").status, RegStatus::kNotFound);

  FakeRegistry fake;
  fake.Set(kCU, "K", "Text", RegValue::String("ab"));
  EXPECT_EQ(query.key->ReadValue("Text").data,
            fake.Open(kCU, "K", RegAccess::kQuery).key->ReadValue("Text").data);
}

}  // namespace
}  // namespace vx
