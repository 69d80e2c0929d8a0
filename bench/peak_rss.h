// Peak resident memory of one export, per shape of animation.
//
// Each measurement runs in a child process of its own (fork), which either
// only builds the synthetic scene or builds it and exports it; the parent
// reads the child's peak resident set from wait4. Every child starts from
// the same small parent, so the differences between rows are what the scene
// and the export add. POSIX only.
#ifndef KIN_BENCH_PEAK_RSS_H_
#define KIN_BENCH_PEAK_RSS_H_

namespace kin_bench {

// Prints a table of peak resident memory (KiB) for scene-only and export
// children over 1, 64 and 1,000 bones at two frame counts each, to stdout.
// Returns 0, or 1 after printing what failed.
int RunPeakRss();

}  // namespace kin_bench

#endif  // KIN_BENCH_PEAK_RSS_H_
