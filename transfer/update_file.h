// Loading an update file for the operator: the dialog's Browse and the
// command-line checker both go through here, so they report the same outcome.
#pragma once

#include <cstdint>

#include "state/status_code.h"
#include "transfer/rq_data_play.h"

// Loads path into the player and walks its track 0 as a transfer at this tempo
// would. 0 when the file can be played; 0x80000008 to 0x8000000B otherwise, a
// track 0 that the transfer would fail on, that carries no firmware or whose
// schedule no operator can wait for counting as a format error. The summary,
// when given, describes what a transfer would send, or why it would not.
StatusCode LoadUpdateFile(CRQDataPlay& player, const char* path, std::uint32_t tempo, TrackSummary* summary = nullptr);
