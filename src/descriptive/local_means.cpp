#include "descriptive/local_means.h"

#include "flow/session.h"

namespace kalveno {

void run_local_means(Session&) {}

}  // namespace kalveno
