// The files the scan saving works on, behind a small port: the saving thread,
// the PDF writer and the naming search only reach the file system through it,
// so tests can inject failures (a full disk, a locked file) and the scan window
// can hand in the real one. Paths are UTF-8 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vx::scan {

// A file being written from its first byte.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Appends `bytes`; false when they could not all be written.
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Flushes and closes; false when the file is not complete on disk.
  virtual bool Close() = 0;
};

class FileStore {
 public:
  virtual ~FileStore() = default;

  virtual bool Exists(const std::string& path) const = 0;
  // Replaces `out` with the file's first `max_bytes` bytes (all of it by
  // default). The vector's capacity is reused. False when it cannot be read.
  virtual bool Read(const std::string& path, std::vector<uint8_t>& out,
                    size_t max_bytes = std::numeric_limits<size_t>::max()) const = 0;
  // Creates or truncates the file; null when it cannot be created.
  virtual std::unique_ptr<OutputFile> Create(const std::string& path) = 0;
  // Overwrites bytes of an existing file in place. Refuses (false) to write
  // past its end: a patch never grows a file.
  virtual bool Patch(const std::string& path, uint64_t offset, std::span<const uint8_t> bytes) = 0;
  // Deletes a file; false when it is still there afterwards.
  virtual bool Remove(const std::string& path) = 0;
  // Creates a new, empty folder that did not exist before under the system's
  // folder for temporary files, named from `prefix`; returns it with a
  // trailing separator. No other file can be in it but ours.
  virtual std::optional<std::string> MakePrivateFolder(const std::string& prefix) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::string& path) = 0;

  // Writes a whole file; a partly written file is deleted again.
  bool WriteAll(const std::string& path, std::span<const uint8_t> bytes);
};

// The machine's file system.
FileStore& LocalFileStore();

// The separator the platform prefers between folder and file names.
char PathSeparator();

// Opens a file by its UTF-8 name with a C mode string (platform adapter).
std::FILE* OpenUtf8File(const std::string& path, const char* mode);

}  // namespace vx::scan
