// Local means (menu choice 3, --local-means=RADIUS): the mean of each
// quantitative variable within a distance of each sample, written to the
// new-variables file (newvar.txt unless --new-variables names another). Its
// question, asked by the dialogue or answered by its option, is in
// local_means_questions.cpp; its run in local_means_run.cpp.
#pragma once
#include <span>

#include "app/analyses.h"
#include "app/results_file.h"

namespace kalveno {

struct Session;

extern const OptionSpec kLocalMeansOption;
// --new-variables=FILE, its own option, and the file it names.
extern const OptionSpec kNewVariablesOption;
std::span<const OptionSpec* const> local_means_options();
extern const OutputFileKind kNewVariablesFile;
std::span<const OutputFileKind* const> local_means_files();

// Asks for the distance threshold; an answer that does not start with a
// number ends the run without writing anything. Otherwise writes the
// new-variables file and waits for Return.
void ask_and_run_local_means(Session& session);
// The threshold of --local-means.
ChosenRun local_means_from_options(const Session& session);

// Writes the new-variables file, the local means within threshold (negative:
// the focal sample left out); never when it is the data or the results file
// (status 5).
void run_local_means(Session& session, float threshold);

}  // namespace kalveno
