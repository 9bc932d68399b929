// Checks an update file the way the updater does when the operator picks it,
// and prints what the operator would see: the status code, its message and the
// track table. Exits 0 only for a file the updater would accept.
//   inspect_update <file.mid>
#include <cstdio>

#include "smf/load_status.h"
#include "smf/smf.h"
#include "state/status_messages.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <update-file.mid>\n", argv[0]);
    return 2;
  }

  static CSMF file;  // large enough to keep off the stack, like the updater's own
  file.Load(argv[1]);
  const StatusCode code = StatusForLoadError(file.error());

  std::printf("file:    %s\n", argv[1]);
  std::printf("status:  0x%08X \"%s\"\n", static_cast<unsigned>(code),
              StatusMessage(code, kInterfaceFW));
  if (file.data() != nullptr) {
    std::printf("header:  format %u, %u track(s), division %u, %u bytes, parsed end %u\n",
                file.format(), file.trackCount(), file.division(), file.size(), file.parsedEnd());
    std::printf("track    offset      length\n");
    for (int i = 0; i < file.trackCount(); ++i) {
      std::printf("%5d  %8u  %10u\n", i, file.track(i).offset, file.track(i).length);
    }
  }
  return code == status::kReady ? 0 : 1;
}
