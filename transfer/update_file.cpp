#include "transfer/update_file.h"

#include "smf/load_status.h"

StatusCode LoadUpdateFile(CRQDataPlay& player, const char* path, std::uint32_t tempo, TrackSummary* summary) {
  // A broken file must be refused before any of it reaches the device.
  if (player.Load(path)) player.Verify(tempo, summary);
  return StatusForLoadError(player.error());
}
