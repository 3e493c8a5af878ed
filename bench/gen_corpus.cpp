// brix_gen_corpus MIB [SEED] [--error-at-end]: writes a generated BRIX file of
// about MIB mebibytes to standard output; its extern values go to standard
// error as NAME=VALUE lines.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "corpus.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: brix_gen_corpus MIB [SEED] [--error-at-end]\n");
    return 2;
  }
  double mib = std::atof(argv[1]);
  std::uint64_t seed = argc > 2 && argv[2][0] != '-' ? std::strtoull(argv[2], nullptr, 10) : 42;
  bool error_at_end = std::strcmp(argv[argc - 1], "--error-at-end") == 0;
  std::string text = brix::bench::CorpusWriter(seed).write(
      static_cast<std::size_t>(mib * 1024 * 1024), error_at_end);
  std::fwrite(text.data(), 1, text.size(), stdout);
  for (const auto& [name, value] : brix::bench::corpus_externs())
    std::fprintf(stderr, "%s=%s\n", name.c_str(), value.c_str());
  return 0;
}
