// `qxrtf batch`: one document per record of a master dataset, each named by
// an expression, written whole or not at all, optionally one shard of a run
// split over several processes.
#pragma once

#include <CLI/CLI.hpp>

void AddBatchCommand(CLI::App& app);
