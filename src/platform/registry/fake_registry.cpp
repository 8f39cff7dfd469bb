#include "platform/registry/fake_registry.h"

#include <utility>

#include "platform/registry/reg_data.h"

namespace vx {

// Children and values are keyed by their ASCII-lower-cased names and keep the
// spelling they were created with.
struct FakeRegistry::Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> children;
  std::map<std::string, std::pair<std::string, RegValue>> values;
};

namespace {

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('\\', start);
    parts.push_back(path.substr(start, slash == std::string_view::npos ? path.npos : slash - start));
    if (slash == std::string_view::npos) return parts;
    start = slash + 1;
  }
}

bool CanRead(RegAccess a) { return a == RegAccess::kQuery || a == RegAccess::kAll; }
bool CanWrite(RegAccess a) { return a == RegAccess::kSetValue || a == RegAccess::kAll; }

// Bytes the text occupies as UTF-16 with its terminating NUL, as the system
// stores a string value. Malformed UTF-8 counts one unit per byte.
size_t Utf16Bytes(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > utf8.size()) len = 1;
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return (units + 1) * 2;
}

void DumpNode(const FakeRegistry::Node& node, const std::string& full, bool is_root, std::string* out) {
  if (!is_root || !node.values.empty()) {
    *out += "\n[" + full + "]\n";
    for (const auto& [folded, nv] : node.values) *out += FormatRegValueLine(nv.first, nv.second) + "\n";
  }
  for (const auto& [folded, child] : node.children) DumpNode(*child, full + "\\" + child->name, false, out);
}

}  // namespace

class FakeRegistry::Key final : public RegistryKey {
 public:
  Key(FakeRegistry* reg, RegRoot root, std::string path, RegAccess access)
      : reg_(reg), root_(root), path_(std::move(path)), access_(access) {}

  RegRead ReadString(std::string_view name, size_t max_bytes) override {
    RegRead r;
    r.status = reg_->Inject({RegOperation::kRead, root_, path_, access_, std::string(name)});
    if (r.status != RegStatus::kOk) return r;
    if (!CanRead(access_)) return {RegStatus::kAccessDenied, {}};
    std::lock_guard lock(reg_->mutex_);
    Node* node = reg_->Find(root_, path_);
    if (!node) return {RegStatus::kFailed, {}};  // deleted under the handle
    auto it = node->values.find(Fold(name));
    if (it == node->values.end()) return {RegStatus::kNotFound, {}};
    const RegValue& v = it->second.second;
    if (v.type != kRegSz && v.type != kRegExpandSz) return {RegStatus::kWrongType, {}};
    if (Utf16Bytes(v.data) > max_bytes) return {RegStatus::kMoreData, {}};
    r.text = v.data.substr(0, v.data.find('\0'));
    return r;
  }

  RegValueRead ReadValue(std::string_view name, size_t max_bytes) override {
    RegValueRead r;
    r.status = reg_->Inject({RegOperation::kRead, root_, path_, access_, std::string(name)});
    if (r.status != RegStatus::kOk) return r;
    if (!CanRead(access_)) return {RegStatus::kAccessDenied, kRegNone, {}};
    std::lock_guard lock(reg_->mutex_);
    Node* node = reg_->Find(root_, path_);
    if (!node) return {RegStatus::kFailed, kRegNone, {}};
    auto it = node->values.find(Fold(name));
    if (it == node->values.end()) return {RegStatus::kNotFound, kRegNone, {}};
    const RegValue& v = it->second.second;
    r.type = v.type;
    if (v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz) {
      // Stored as the system would: UTF-16LE, a single string with its
      // terminator; multi-strings exactly as given, missing terminators too.
      r.data = Utf8ToUtf16Le(v.data);
      if (v.type != kRegMultiSz && (v.data.empty() || v.data.back() != '\0')) r.data.append(2, '\0');
    } else {
      r.data = v.data;
    }
    if (r.data.size() > max_bytes) return {RegStatus::kMoreData, v.type, {}};
    return r;
  }

  RegStatus WriteString(std::string_view name, std::string_view text, bool expandable) override {
    RegStatus s = reg_->Inject({RegOperation::kWrite, root_, path_, access_, std::string(name)});
    if (s != RegStatus::kOk) return s;
    if (!CanWrite(access_)) return RegStatus::kAccessDenied;
    if (Utf8Chars(name) > kRegMaxValueNameChars) return RegStatus::kBadPath;
    std::lock_guard lock(reg_->mutex_);
    Node* node = reg_->Find(root_, path_);
    if (!node) return RegStatus::kFailed;
    RegValue v{expandable ? kRegExpandSz : kRegSz, std::string(text)};
    auto& slot = node->values[Fold(name)];
    if (slot.first.empty()) slot.first = std::string(name);
    slot.second = v;
    reg_->writes_.push_back({root_, path_, std::string(name), v});
    return RegStatus::kOk;
  }

  RegStatus EnumSubKeys(std::vector<std::string>* names) override {
    RegStatus s = reg_->Inject({RegOperation::kEnum, root_, path_, access_, {}});
    if (s != RegStatus::kOk) return s;
    if (!CanRead(access_)) return RegStatus::kAccessDenied;
    std::lock_guard lock(reg_->mutex_);
    Node* node = reg_->Find(root_, path_);
    if (!node) return RegStatus::kFailed;
    names->clear();
    for (const auto& [folded, child] : node->children) names->push_back(child->name);
    return RegStatus::kOk;
  }

 private:
  FakeRegistry* reg_;
  RegRoot root_;
  std::string path_;
  RegAccess access_;
};

FakeRegistry::FakeRegistry() {
  roots_[0] = std::make_unique<Node>();
  roots_[1] = std::make_unique<Node>();
  roots_[0]->name = RegRootName(RegRoot::kCurrentUser);
  roots_[1]->name = RegRootName(RegRoot::kLocalMachine);
}

FakeRegistry::~FakeRegistry() = default;

RegStatus FakeRegistry::Inject(const RegOperation& op) const {
  Fault fault;
  {
    std::lock_guard lock(mutex_);
    if ((op.kind == RegOperation::kOpen || op.kind == RegOperation::kCreate) &&
        deny_changes_[static_cast<int>(op.root)] && CanWrite(op.access))
      return RegStatus::kAccessDenied;
    fault = fault_;
  }
  return fault ? fault(op) : RegStatus::kOk;
}

FakeRegistry::Node* FakeRegistry::Find(RegRoot root, std::string_view path) const {
  Node* node = roots_[static_cast<int>(root)].get();
  for (std::string_view part : Components(path)) {
    auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

FakeRegistry::Node* FakeRegistry::Make(RegRoot root, std::string_view path) {
  Node* node = roots_[static_cast<int>(root)].get();
  for (std::string_view part : Components(path)) {
    auto& child = node->children[Fold(part)];
    if (!child) {
      child = std::make_unique<Node>();
      child->name = std::string(part);
    }
    node = child.get();
  }
  return node;
}

RegOpen FakeRegistry::OpenImpl(RegOperation::Kind kind, RegRoot root, std::string_view path,
                               RegAccess access) {
  RegOpen r;
  r.status = Inject({kind, root, std::string(path), access, {}});
  if (r.status != RegStatus::kOk) return r;
  if (!IsValidRegPath(path)) return {RegStatus::kBadPath, nullptr};
  {
    std::lock_guard lock(mutex_);
    if (kind == RegOperation::kCreate) {
      Make(root, path);
    } else if (!Find(root, path)) {
      return {RegStatus::kNotFound, nullptr};
    }
  }
  r.key = std::make_unique<Key>(this, root, std::string(path), access);
  return r;
}

RegOpen FakeRegistry::Open(RegRoot root, std::string_view path, RegAccess access) {
  return OpenImpl(RegOperation::kOpen, root, path, access);
}

RegOpen FakeRegistry::Create(RegRoot root, std::string_view path, RegAccess access) {
  return OpenImpl(RegOperation::kCreate, root, path, access);
}

std::optional<std::string> FakeRegistry::Load(std::string_view reg_text) {
  RegParseResult parsed = ParseRegFile(reg_text);
  if (!parsed.ok) return "line " + std::to_string(parsed.line) + ": " + parsed.error;
  Apply(parsed.file);
  return std::nullopt;
}

void FakeRegistry::Apply(const RegFile& file) {
  std::lock_guard lock(mutex_);
  for (const RegFileKey& key : file.keys) {
    if (key.remove) {
      size_t slash = key.path.rfind('\\');
      Node* parent = Find(key.root, slash == std::string::npos ? std::string_view() : std::string_view(key.path).substr(0, slash));
      if (parent) parent->children.erase(Fold(slash == std::string::npos ? key.path : key.path.substr(slash + 1)));
      continue;
    }
    Node* node = Make(key.root, key.path);
    for (const RegFileValue& v : key.values) {
      if (v.remove) {
        node->values.erase(Fold(v.name));
        continue;
      }
      auto& slot = node->values[Fold(v.name)];
      if (slot.first.empty()) slot.first = v.name;
      slot.second = v.value;
    }
  }
}

std::string FakeRegistry::Dump() const {
  std::lock_guard lock(mutex_);
  std::string out = "REGEDIT4\n";
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine}) {
    const Node& node = *roots_[static_cast<int>(root)];
    DumpNode(node, node.name, true, &out);
  }
  return out;
}

void FakeRegistry::Set(RegRoot root, std::string_view path, std::string_view name, const RegValue& value) {
  RegFile f;
  f.keys.push_back({root, std::string(path), false, {{std::string(name), false, value}}});
  Apply(f);
}

void FakeRegistry::SetString(RegRoot root, std::string_view path, std::string_view name, std::string_view text) {
  Set(root, path, name, RegValue::String(text));
}

std::optional<RegValue> FakeRegistry::Get(RegRoot root, std::string_view path, std::string_view name) const {
  std::lock_guard lock(mutex_);
  Node* node = Find(root, path);
  if (!node) return std::nullopt;
  auto it = node->values.find(Fold(name));
  if (it == node->values.end()) return std::nullopt;
  return it->second.second;
}

std::optional<std::string> FakeRegistry::GetString(RegRoot root, std::string_view path,
                                                   std::string_view name) const {
  auto v = Get(root, path, name);
  if (!v || (v->type != kRegSz && v->type != kRegExpandSz)) return std::nullopt;
  return v->data;
}

bool FakeRegistry::KeyExists(RegRoot root, std::string_view path) const {
  std::lock_guard lock(mutex_);
  return Find(root, path) != nullptr;
}

void FakeRegistry::DeleteKey(RegRoot root, std::string_view path) {
  RegFile f;
  f.keys.push_back({root, std::string(path), true, {}});
  Apply(f);
}

void FakeRegistry::DeleteValue(RegRoot root, std::string_view path, std::string_view name) {
  std::lock_guard lock(mutex_);
  if (Node* node = Find(root, path)) node->values.erase(Fold(name));
}

std::vector<RegWrite> FakeRegistry::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void FakeRegistry::ClearWrites() {
  std::lock_guard lock(mutex_);
  writes_.clear();
}

void FakeRegistry::SetFault(Fault fault) {
  std::lock_guard lock(mutex_);
  fault_ = std::move(fault);
}

void FakeRegistry::DenyChanges(RegRoot root) {
  std::lock_guard lock(mutex_);
  deny_changes_[static_cast<int>(root)] = true;
}

}  // namespace vx
