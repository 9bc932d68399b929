// Checks an update file the way the updater does when the operator picks it
// (the load and the pre-flight walk of track 0), and prints what the operator
// would see: the status code, its message and the track table, then what a
// transfer would send. Exits 0 only for a file the updater would accept.
//   inspect_update <file.mid>
#include <cstdio>

#include "state/status_messages.h"
#include "state/update_state.h"
#include "transfer/rq_data_play.h"
#include "transfer/update_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <update-file.mid>\n", argv[0]);
    return 2;
  }

  static CRQDataPlay file;  // large enough to keep off the stack, like the updater's own
  const std::uint32_t tempo = UpdateState::kDefaultTempo;
  TrackSummary summary;
  const StatusCode code = LoadUpdateFile(file, argv[1], tempo, &summary);

  std::printf("file:    %s\n", argv[1]);
  std::printf("status:  0x%08X \"%s\"\n", static_cast<unsigned>(code), StatusMessage(code, kInterfaceFW));
  if (file.data() != nullptr) {
    std::printf("header:  format %u, %u track(s), division %u, %u bytes, parsed end %u\n", file.format(),
                file.trackCount(), file.division(), file.size(), file.parsedEnd());
    std::printf("track    offset      length\n");
    for (int i = 0; i < file.trackCount(); ++i) {
      std::printf("%5d  %8u  %10u\n", i, file.track(i).offset, file.track(i).length);
    }
  }
  if (summary.refusal != Refusal::kNone) std::printf("refused: %s\n", RefusalText(summary.refusal));
  if (code == status::kReady) {
    std::printf("sysex:   %u message(s), %llu bytes in %u write(s)\n", summary.messages,
                static_cast<unsigned long long>(summary.bytes), summary.writes);
    std::printf("timing:  last message due %u ms after the start at tempo %u\n",
                DueMilliseconds(summary.lastMessageTicks, tempo, file.division()), tempo);
  }
  return code == status::kReady ? 0 : 1;
}
