#include "scan/file_store.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <random>
#include <system_error>

namespace vx::scan {
namespace {

namespace fs = std::filesystem;

// UTF-8 text to a path; on Windows the library converts it to UTF-16.
fs::path ToPath(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string FromPath(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

class LocalOutput final : public OutputFile {
 public:
  explicit LocalOutput(std::FILE* file) : file_(file) {}
  ~LocalOutput() override {
    if (file_) std::fclose(file_);
  }
  bool Write(std::span<const uint8_t> bytes) override {
    if (!file_ || failed_) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    return !failed_;
  }
  bool Close() override {
    if (!file_) return false;
    bool ok = !failed_ && std::fflush(file_) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_;
  bool failed_ = false;
};

class Local final : public FileStore {
 public:
  bool Exists(const std::string& path) const override {
    std::error_code ec;
    return fs::exists(ToPath(path), ec);
  }

  bool Read(const std::string& path, std::vector<uint8_t>& out, size_t max_bytes) const override {
    out.clear();
    std::FILE* file = OpenUtf8File(path, "rb");
    if (!file) return false;
    bool ok = true;
    try {
      // One allocation of the right size: a page is tens of megabytes, and
      // growing by doubling would hold two copies at once.
      std::error_code ec;
      const uintmax_t size = fs::file_size(ToPath(path), ec);
      if (!ec) out.reserve(static_cast<size_t>(std::min<uintmax_t>(size, max_bytes)));
      uint8_t chunk[65536];
      while (out.size() < max_bytes) {
        size_t want = std::min(sizeof chunk, max_bytes - out.size());
        size_t got = std::fread(chunk, 1, want, file);
        out.insert(out.end(), chunk, chunk + got);
        if (got < want) {
          ok = !std::ferror(file);
          break;
        }
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    std::fclose(file);
    if (!ok) out.clear();
    return ok;
  }

  std::unique_ptr<OutputFile> Create(const std::string& path) override {
    std::FILE* file = OpenUtf8File(path, "wb");
    if (!file) return nullptr;
    return std::make_unique<LocalOutput>(file);
  }

  bool Patch(const std::string& path, uint64_t offset, std::span<const uint8_t> bytes) override {
    std::error_code ec;
    uintmax_t size = fs::file_size(ToPath(path), ec);
    if (ec || offset > size || bytes.size() > size - offset || offset > 0x7fffffff) return false;
    std::FILE* file = OpenUtf8File(path, "r+b");
    if (!file) return false;
    bool ok = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
              std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
  }

  bool Remove(const std::string& path) override {
    std::error_code ec;
    fs::remove(ToPath(path), ec);
    return !Exists(path);
  }

  std::optional<std::string> MakePrivateFolder(const std::string& prefix) override {
    std::error_code ec;
    fs::path parent = fs::temp_directory_path(ec);
    if (ec) return std::nullopt;
    static std::atomic<uint64_t> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      uint64_t tag = (static_cast<uint64_t>(random()) << 32) ^ random() ^
                     static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                     (++counter << 48);
      char name[32];
      std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(tag));
      fs::path folder = parent / ToPath(prefix + name);
      // create_directory is true only for a folder it made itself: one that
      // already existed (someone else's) is never taken.
      if (fs::create_directory(folder, ec)) return FromPath(folder) + PathSeparator();
      if (ec && ec != std::errc::file_exists) return std::nullopt;
    }
    return std::nullopt;
  }

  bool RemoveFolder(const std::string& path) override {
    std::error_code ec;
    return fs::remove(ToPath(path), ec);
  }
};

}  // namespace

bool FileStore::WriteAll(const std::string& path, std::span<const uint8_t> bytes) {
  std::unique_ptr<OutputFile> out = Create(path);
  if (!out) return false;
  bool ok = out->Write(bytes);
  ok = out->Close() && ok;
  if (!ok) Remove(path);
  return ok;
}

FileStore& LocalFileStore() {
  static Local store;
  return store;
}

}  // namespace vx::scan
