// The request presenter fed by the fuzzer: each step is one byte that picks
// an action (a request event record of the given bytes and length, a timer
// tick, Accept, Reject, a close box, a request of this PC, the wait dialog's
// close) followed by its operands. Nothing may read past the bytes given, and
// the reply dialog never shows without an entry to answer.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "requests/testing/request_bench.h"

using namespace vx;
namespace rt = vx::requests::testing;
using namespace vx::requests;

namespace {

uint8_t Take(const uint8_t*& p, size_t& n) {
  if (n == 0) return 0;
  --n;
  return *p++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rt::RequestBench b(size % 2 == 0);
  const uint8_t* p = data;
  size_t n = size;
  int steps = 0;
  while (n > 0 && ++steps < 64) {
    switch (Take(p, n) % 8) {
      case 0: {  // a record: its bytes, then a length that may lie
        size_t count = std::min<size_t>(Take(p, n), n);
        std::vector<uint8_t> record(p, p + count);
        p += count, n -= count;
        if (!record.empty()) record[0] = bus::kEventRequestToUse;
        int length = int(count) + int(int8_t(Take(p, n))) % 4;
        b.presenter->OnRequestToUse(record, length);
        break;
      }
      case 1: {  // a well-formed request event
        const uint8_t command = Take(p, n) % 7, device = Take(p, n) % 5, asker = Take(p, n) % 4;
        b.Event(command, "10.0.0.2", device, "10.0.0." + std::to_string(20 + asker));
        break;
      }
      case 2:
        b.Run(int(Take(p, n)) * 20);
        break;
      case 3:
        b.presenter->AcceptBtnClick();
        break;
      case 4:
        b.presenter->RejectBtnClick();
        break;
      case 5:
        b.presenter->ReplyFormClose();
        break;
      case 6:
        b.Select("10.0.0.2", std::to_string(Take(p, n) % 5));
        b.presenter->Action_RequestExecute();
        break;
      default:
        if (b.wait.shown) b.presenter->WaitDialogClose();
        break;
    }
    if (b.reply.shown && b.presenter->List().Empty()) __builtin_trap();
  }
  return 0;
}
