// The tracer's side of spawndraw.
#pragma once

// Runs argv as a traced child and writes the run's record to the
// descriptor out until every traced process has ended, or, without
// waitOrphans, until the command has. Then it follows what is left without
// recording, until that ends too. Never returns.
[[noreturn]] void traceRun(char *argv[], bool waitOrphans, int out);
