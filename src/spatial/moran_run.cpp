#include "spatial/moran_run.h"

#include "flow/session.h"

namespace kalveno {

void run_spatial_autocorrelation(Session&) {}

}  // namespace kalveno
