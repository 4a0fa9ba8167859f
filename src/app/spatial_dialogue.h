// Menu choice 1: spatial autocorrelation, from its dialogue to its reports.
#pragma once

namespace kalveno {

struct Session;

void run_spatial_autocorrelation(Session& session);

}  // namespace kalveno
