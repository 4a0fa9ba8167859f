#include "association/association_run.h"

#include "flow/session.h"

namespace kalveno {

void run_association(Session&) {}

}  // namespace kalveno
