#include "smf/load_status.h"

#include "smf/smf.h"

StatusCode StatusForLoadError(std::int32_t error) {
  switch (error) {
    case CSMF::kOk:
      return status::kReady;
    case CSMF::kNoMemory:
      return status::Error(status::kNotEnoughMemory);
    case CSMF::kFileNotFound:
      return status::Error(status::kFileNotFound);
    case CSMF::kOpenFailed:
      return status::Error(status::kFileOpenFailed);
    default:
      return status::Error(status::kFileFormatError);
  }
}
