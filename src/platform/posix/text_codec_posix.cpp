#include "platform/text_codec.h"

namespace vx {

const TextCodec& SystemTextCodec() { return IdentityTextCodec(); }

}  // namespace vx
