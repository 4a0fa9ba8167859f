// Local Moran's I as rows of the tidy statistics table: one row per
// analysed variable and sample that has it, statistic "local_moran_i".
#pragma once
#include <vector>

#include "data/data_set.h"
#include "local_moran/local_moran.h"
#include "numeric/statistics_table.h"

namespace kalveno {

// Test "conditional" with the summary of the sample's replicates, or
// "observed" when the sample was not tested; the quadrant in the column of
// the code, the adjusted P in its own.
void add_local_moran_rows(std::vector<StatisticRow>& rows, const DataSet& data, const LocalMoranSetup& setup,
                          const LocalMoranResults& results);

}  // namespace kalveno
