#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Synthetic source files for the benchmarks: C and C++ in the house style of the files the
// tool is used on (code page 932 comments, module-header blocks, #if blocks, messy
// indentation, long lines, runs of empty lines). The same seed gives the same bytes (for one
// build: the order in which a compiler evaluates the operands of + picks the words).
namespace srctdy::bench {

// A small, fully specified generator, so that the corpus does not depend on the standard
// library's distributions.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // 0 to n - 1; n must be positive.
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    bool percent(int p) { return below(100) < p; }

private:
    uint64_t state_;
};

// Mixes a corpus seed with a file number into the seed of one file.
uint64_t FileSeed(uint64_t corpusSeed, uint64_t fileNumber);

// One source file of about targetBytes bytes (it ends after the function that crosses the
// target). cppFlavour adds classes, namespaces and templates. Lines end with CR LF when crlf
// is set, with LF otherwise.
std::string GenerateSourceFile(uint64_t seed, size_t targetBytes, bool cppFlavour, bool crlf);

} // namespace srctdy::bench
