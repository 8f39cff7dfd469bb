#include "platform/registry/registry.h"

namespace vx {

const char* RegStatusName(RegStatus status) {
  switch (status) {
    case RegStatus::kOk: return "kOk";
    case RegStatus::kNotFound: return "kNotFound";
    case RegStatus::kAccessDenied: return "kAccessDenied";
    case RegStatus::kWrongType: return "kWrongType";
    case RegStatus::kMoreData: return "kMoreData";
    case RegStatus::kBadPath: return "kBadPath";
    case RegStatus::kFailed: return "kFailed";
  }
  return "?";
}

}  // namespace vx
