// A file store in memory for the fuzz targets: no disk, no leftovers.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scan/file_store.h"

namespace vx::scan::fuzzing {

class MemoryStore final : public FileStore {
 public:
  std::map<std::string, std::vector<uint8_t>> files;

  bool Exists(const std::string& path) const override { return files.count(path) > 0; }
  bool Read(const std::string& path, std::vector<uint8_t>& out, size_t max_bytes) const override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    out.assign(it->second.begin(),
               it->second.begin() + static_cast<std::ptrdiff_t>(std::min(max_bytes, it->second.size())));
    return true;
  }
  std::unique_ptr<OutputFile> Create(const std::string& path) override {
    files[path].clear();
    return std::make_unique<Output>(files[path]);
  }
  bool Patch(const std::string& path, uint64_t offset, std::span<const uint8_t> bytes) override {
    auto it = files.find(path);
    if (it == files.end() || offset > it->second.size() || bytes.size() > it->second.size() - offset)
      return false;
    std::copy(bytes.begin(), bytes.end(), it->second.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
  }
  bool Remove(const std::string& path) override {
    files.erase(path);
    return true;
  }
  std::optional<std::string> MakePrivateFolder(const std::string& prefix) override {
    return "/mem/" + prefix + "/";
  }
  bool RemoveFolder(const std::string&) override { return true; }

 private:
  class Output final : public OutputFile {
   public:
    explicit Output(std::vector<uint8_t>& to) : to_(to) {}
    bool Write(std::span<const uint8_t> bytes) override {
      to_.insert(to_.end(), bytes.begin(), bytes.end());
      return true;
    }
    bool Close() override { return true; }

   private:
    std::vector<uint8_t>& to_;
  };
};

}  // namespace vx::scan::fuzzing
