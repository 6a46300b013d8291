#include "sim/firmware/service_host.h"

#include "sim/board/simulated_board.h"

namespace sim {

EFI_STATUS ServeRecorded(std::string_view service, std::vector<uint64_t> args,
                         const std::function<EFI_STATUS()> &work) {
  return CurrentBoard().Firmware().Calls().Serve(service, std::move(args),
                                                 nullptr, work);
}

uint64_t AnswerRecorded(std::string_view service, std::vector<uint64_t> args,
                        const std::function<uint64_t()> &work) {
  CallLog &calls = CurrentBoard().Firmware().Calls();
  const size_t index = calls.Record(service, std::move(args));
  const uint64_t answer = work();
  calls.Finish(index, answer, false);
  return answer;
}

VOID *HandOutPoolBuffer(size_t size) {
  return CurrentBoard().Firmware().Memory().AllocatePoolBuffer(size);
}

}  // namespace sim
