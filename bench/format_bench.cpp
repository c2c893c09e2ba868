// Line formatting alone, into a buffer the size of a file's, in addresses
// (lines) per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "zones/block_plan.h"
#include "zones/zone_file.h"

namespace {

template <class Form>
void FillBuffers(benchmark::State& state, const Form& form) {
  std::vector<char> buffer(OutputBufferSize);
  const Ipv4Value first = ParseDottedQuad("10.0.0.0");
  const Ipv4Value last = ParseDottedQuad("10.255.255.255");
  Ipv4Value a = first;
  std::int64_t lines = 0;
  for (auto _ : state) {
    char* p = buffer.data();
    const char* end = buffer.data() + buffer.size() - form.Room();
    while (p < end) {
      p = form.PutAt(p, a);
      a = a == last ? first : a + 1;
      ++lines;
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(lines);
}

void PtrLines(benchmark::State& state) { FillBuffers(state, PtrLineForm("lan.internal.")); }
void BareALines(benchmark::State& state) { FillBuffers(state, ALineForm(OwnerForm::BareLabel, "lan.internal.")); }
void QualifiedALines(benchmark::State& state) {
  FillBuffers(state, ALineForm(OwnerForm::QualifiedLabel, "lan.internal."));
}

// The general formatter, for scale.
void MaskFormatter(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) {
    const int octets[] = {10, n & 255, (n >> 8) & 255, 7};
    benchmark::DoNotOptimize(FormatByMask(DottedQuadMask, octets));
    ++n;
  }
  state.SetItemsProcessed(n);
}

BENCHMARK(PtrLines);
BENCHMARK(BareALines);
BENCHMARK(QualifiedALines);
BENCHMARK(MaskFormatter);

}  // namespace
