// Feeds arbitrary bytes to the REGEDIT4 parser. Every accepted file must
// import into the in-memory registry and dump to text that parses again and
// dumps to the same text (the dump is a fixed point).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/fake_registry.h"
#include "platform/registry/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vx::RegParseResult parsed = vx::ParseRegFile(bytes);
  if (!parsed.ok) {
    if (parsed.line == 0 || parsed.error.empty()) std::abort();  // every refusal says where and why
    return 0;
  }
  vx::FakeRegistry first;
  first.Apply(parsed.file);
  std::string dump = first.Dump();
  vx::FakeRegistry second;
  if (second.Load(dump)) std::abort();
  if (second.Dump() != dump) std::abort();
  return 0;
}
