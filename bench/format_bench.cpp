// Line formatting alone, into a buffer the size of a file's, in addresses
// (lines) per second: a /24 at a time, as the writers lay lines down.
#include <benchmark/benchmark.h>

#include <vector>

#include "output/console.h"
#include "zones/forward_zone.h"
#include "zones/progress.h"
#include "zones/zone_file.h"

namespace {

template <class Form, class Before>
void FillBuffers(benchmark::State& state, Form form, Before before) {
  std::vector<char> buffer(OutputBufferSize);
  const Ipv4Value first = Quad(10, 0, 0, 0);
  const Ipv4Value last = Quad(10, 255, 255, 255);
  Ipv4Value a = first;
  std::int64_t lines = 0;
  for (auto _ : state) {
    char* p = buffer.data();
    for (;;) {
      const LineBlock& block = form.For(a);
      if (buffer.data() + buffer.size() - p < static_cast<std::ptrdiff_t>(block.Room(256))) break;
      p = block.Put(p, a, 256, before);
      a = a + 256 > last ? first : a + 256;
      lines += 256;
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(lines);
}

auto NoTitle = [](Ipv4Value) {};

void PtrLines_(benchmark::State& state) { FillBuffers(state, PtrLines("lan.internal."), NoTitle); }
void BareALines(benchmark::State& state) { FillBuffers(state, ALines(OwnerForm::BareLabel, "lan.internal."), NoTitle); }
void QualifiedALines(benchmark::State& state) {
  FillBuffers(state, ALines(OwnerForm::QualifiedLabel, "lan.internal."), NoTitle);
}
// With the progress call and its clock reading for every line, as a run
// makes them (the title itself stays unset: no terminal here).
void PtrLinesWithTitle(benchmark::State& state) {
  FillBuffers(state, PtrLines("lan.internal."), [](Ipv4Value a) { UpdateProgressTitle(a); });
}

BENCHMARK(PtrLines_)->Name("PtrLines");
BENCHMARK(BareALines);
BENCHMARK(QualifiedALines);
BENCHMARK(PtrLinesWithTitle);

}  // namespace
