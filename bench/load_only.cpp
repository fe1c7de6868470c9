// Loads an SCD the way every CRC run does and prints the seconds it took.
#include <chrono>
#include <cstdio>

#include <pugixml.hpp>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_load FILE\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  pugi::xml_document document;
  pugi::xml_parse_result result = document.load_file(argv[1], pugi::parse_full, pugi::encoding_auto);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!result) {
    std::fprintf(stderr, "bench_load: %s: %s\n", argv[1], result.description());
    return 1;
  }
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
