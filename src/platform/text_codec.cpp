#include "platform/text_codec.h"

namespace vx {
namespace {

class Identity final : public TextCodec {
 public:
  std::string AnsiToUtf8(std::string_view ansi) const override { return std::string(ansi); }
  std::string Utf8ToAnsi(std::string_view utf8) const override { return std::string(utf8); }
};

}  // namespace

const TextCodec& IdentityTextCodec() {
  static Identity codec;
  return codec;
}

}  // namespace vx
