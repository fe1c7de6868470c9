// What loading once saves: the CRC of every IED of one SCD asked one IED at
// a time, through an SCD opened once (ccdcrc_scd_ied_crc) and through the
// entry point that loads the SCD on every call (compute_ied_crc), beside one
// run over all IEDs (compute_all_ied_crcs, as `ccdcrc all -j1`). Each way
// runs in a process of its own, so that none finds memory that another
// freed. The CRCs of the two ways must agree.
//   bench_handle SCD [SEED_CALLS]   (SEED_CALLS: how many compute_ied_crc calls; default every IED)

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ccdcrc/ccdcrc.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Runs `work` in a child process; returns the figures it reports.
std::vector<double> in_child(const std::function<std::vector<double>()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) std::exit(1);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const std::vector<double> figures = work();
    [[maybe_unused]] const ssize_t written = ::write(channel[1], figures.data(), figures.size() * sizeof(double));
    ::_exit(0);
  }
  ::close(channel[1]);
  std::vector<double> figures;
  double figure = 0;
  while (::read(channel[0], &figure, sizeof figure) == static_cast<ssize_t>(sizeof figure)) figures.push_back(figure);
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  return figures;
}

// The IED names and their CRCs (empty: none) through an SCD opened once.
bool names_and_crcs(const char* path, std::vector<std::string>& names, std::vector<std::string>& crcs) {
  ccdcrc_scd* scd = nullptr;
  ccdcrc_error* error = ccdcrc_error_new();
  const bool opened = ccdcrc_scd_open(path, &scd, error) == CCDCRC_OK;
  if (!opened) std::fprintf(stderr, "bench_handle: %s\n", ccdcrc_error_message(error));
  ccdcrc_names* list = nullptr;
  if (opened && ccdcrc_scd_ieds(scd, &list, error) == CCDCRC_OK) names.assign(list->names, list->names + list->count);
  ccdcrc_free_names(list);
  for (const std::string& name : names) {
    char crc[CCDCRC_CRC_SIZE];
    ccdcrc_scd_ied_crc(scd, name.c_str(), crc, nullptr);
    crcs.emplace_back(crc);
  }
  ccdcrc_scd_close(scd);
  ccdcrc_error_free(error);
  return opened;
}

// Seconds of the open and of the queries.
std::vector<double> handle_run(const char* path, const std::vector<std::string>& names) {
  auto start = Clock::now();
  ccdcrc_scd* scd = nullptr;
  ccdcrc_scd_open(path, &scd, nullptr);
  const double open = seconds_since(start);
  start = Clock::now();
  for (const std::string& name : names) {
    char crc[CCDCRC_CRC_SIZE];
    ccdcrc_scd_ied_crc(scd, name.c_str(), crc, nullptr);
  }
  const double queries = seconds_since(start);
  ccdcrc_scd_close(scd);
  return {open, queries};
}

std::vector<double> all_run(const char* path) {
  const auto start = Clock::now();
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd_crc = compute_all_ied_crcs(&pairs, path, &count);
  const double seconds = seconds_since(start);
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
  return {seconds};
}

// Seconds of the calls, and how many CRCs differ from the handle's.
std::vector<double> seed_run(const char* path, const std::vector<std::string>& names,
                             const std::vector<std::string>& crcs, std::size_t calls) {
  const auto start = Clock::now();
  double differing = 0;
  for (std::size_t i = 0; i < calls; ++i) {
    char* crc = compute_ied_crc(path, names[i].c_str());
    if (crcs[i] != crc) ++differing;
    ccdcrc_free_text(crc);
  }
  return {seconds_since(start), differing};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: bench_handle SCD [SEED_CALLS]\n");
    return 2;
  }
  const char* path = argv[1];
  std::vector<std::string> names;
  std::vector<std::string> crcs;
  if (!names_and_crcs(path, names, crcs)) return 1;
  const std::size_t count = names.size();
  const std::size_t calls = argc == 3 ? std::min<std::size_t>(std::strtoul(argv[2], nullptr, 10), count) : count;

  const std::vector<double> handle = in_child([&] { return handle_run(path, names); });
  const std::vector<double> all = in_child([&] { return all_run(path); });
  const std::vector<double> seed = in_child([&] { return seed_run(path, names, crcs, calls); });
  if (handle.size() != 2 || all.size() != 1 || seed.size() != 2) return 1;

  std::printf("IED names: %zu\n", count);
  std::printf("ccdcrc_scd_open                      %8.2f s\n", handle[0]);
  std::printf("%4zu x ccdcrc_scd_ied_crc             %8.2f s (%.1f ms each)\n", count, handle[1],
              1000 * handle[1] / static_cast<double>(count));
  std::printf("open + %4zu queries                   %8.2f s\n", count, handle[0] + handle[1]);
  std::printf("compute_all_ied_crcs (one run)       %8.2f s\n", all[0]);
  std::printf("%4zu x compute_ied_crc                %8.2f s (%.0f ms each", calls, seed[0],
              calls ? 1000 * seed[0] / static_cast<double>(calls) : 0.0);
  if (calls && calls < count) {
    std::printf("; %zu calls: about %.0f s", count, seed[0] / static_cast<double>(calls) * static_cast<double>(count));
  }
  std::printf(")\n");
  if (seed[1] > 0) std::printf("CRCs DIFFER for %.0f IEDs\n", seed[1]);
  return seed[1] > 0 ? 1 : 0;
}
