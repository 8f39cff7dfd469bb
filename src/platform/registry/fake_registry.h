// An in-memory registry with the behaviour of the system's where this program
// relies on it: key and value names compare without regard to ASCII case,
// key handles carry their access rights, string reads honour the caller's
// byte limit as UTF-16 data would, and a key deleted under an open handle
// makes that handle fail. Tests fill it from REGEDIT4 text, inject failures
// and look at what the code under test wrote.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"

namespace vx {

// One operation as the fake sees it, for failure injection.
struct RegOperation {
  enum Kind { kOpen, kCreate, kRead, kWrite, kEnum } kind = kOpen;
  RegRoot root = RegRoot::kCurrentUser;
  std::string path;    // key path as the caller gave it (for handles: as opened)
  RegAccess access = RegAccess::kQuery;  // kOpen / kCreate
  std::string name;    // value name (kRead / kWrite)
};

// A successful WriteString through the port.
struct RegWrite {
  RegRoot root = RegRoot::kCurrentUser;
  std::string path;
  std::string name;
  RegValue value;
};

class FakeRegistry final : public Registry {
 public:
  FakeRegistry();
  ~FakeRegistry() override;

  RegOpen Open(RegRoot root, std::string_view path, RegAccess access) override;
  RegOpen Create(RegRoot root, std::string_view path, RegAccess access) override;

  // --- Test set-up and inspection (no failure injection, not logged) ---

  // Applies REGEDIT4 text; on a parse error nothing is changed and the error
  // ("line N: message") is returned.
  std::optional<std::string> Load(std::string_view reg_text);
  void Apply(const RegFile& file);
  // The whole registry as REGEDIT4 text: keys depth-first, names in
  // case-folded order, so equal contents give equal text.
  std::string Dump() const;

  void Set(RegRoot root, std::string_view path, std::string_view name, const RegValue& value);
  void SetString(RegRoot root, std::string_view path, std::string_view name, std::string_view text);
  std::optional<RegValue> Get(RegRoot root, std::string_view path, std::string_view name) const;
  // The text of a REG_SZ / REG_EXPAND_SZ value; nullopt when absent or of another type.
  std::optional<std::string> GetString(RegRoot root, std::string_view path, std::string_view name) const;
  bool KeyExists(RegRoot root, std::string_view path) const;
  void DeleteKey(RegRoot root, std::string_view path);
  void DeleteValue(RegRoot root, std::string_view path, std::string_view name);

  // Every successful WriteString through the port, in order.
  std::vector<RegWrite> Writes() const;
  void ClearWrites();

  // Failure injection: the hook runs before each operation; a status other
  // than kOk makes the operation fail with it.
  using Fault = std::function<RegStatus(const RegOperation&)>;
  void SetFault(Fault fault);
  // As for a user without administrator rights on that hive: opening or
  // creating a key there for kSetValue or kAll is refused with kAccessDenied,
  // opening for kQuery works.
  void DenyChanges(RegRoot root);

  struct Node;

 private:
  class Key;
  friend class Key;

  RegStatus Inject(const RegOperation& op) const;
  Node* Find(RegRoot root, std::string_view path) const;  // lock held
  Node* Make(RegRoot root, std::string_view path);        // lock held
  RegOpen OpenImpl(RegOperation::Kind kind, RegRoot root, std::string_view path, RegAccess access);

  mutable std::mutex mutex_;
  std::unique_ptr<Node> roots_[2];
  std::vector<RegWrite> writes_;
  Fault fault_;
  bool deny_changes_[2] = {false, false};
};

}  // namespace vx
