// Time of one node exchange and of the node queries of a write, against the
// data network named by client.config in the working directory (scripts/bench
// starts one on loopback).
#include <benchmark/benchmark.h>

#include "core/session/config.h"
#include "core/nodes/node_selection.h"
#include "core/wire/op_message.h"
#include "core/wire/scrambler.h"

namespace {

morbs::Settings network() {
  morbs::Settings s = morbs::Settings::defaults(morbs::Program::pullbox);
  morbs::read_config(s);
  return s;
}

void one_exchange(benchmark::State& state) {
  auto s = network();
  for (auto _ : state) {
    std::string message = "TEST=H00&";
    if (morbs::op_message(s.ip_addr, s.init_port, message, 0, s.connection_wait()) != 0)
      state.SkipWithError("no node answers");
  }
}
BENCHMARK(one_exchange)->Unit(benchmark::kMillisecond)->Iterations(20);

void code_and_decode(benchmark::State& state) {
  for (auto _ : state) {
    morbs::MessageBlock block{};
    morbs::codeV1("OP=currentspace&", 0, block);
    morbs::PlainBlock plain{};
    morbs::decodeV1(block, 0, plain);
    benchmark::DoNotOptimize(plain);
  }
}
BENCHMARK(code_and_decode)->Unit(benchmark::kMillisecond)->Iterations(20);

void queries_of_a_write(benchmark::State& state) {
  auto s = network();
  morbs::NodeTable nconf;
  for (auto _ : state) {
    morbs::RecordingReporter quiet(false);
    morbs::NetworkExchange exchange(s.connection_wait(), quiet);
    morbs::test_nodes_for_write(nconf, s.ip_addr, s.init_port, exchange);
    if (nconf[0].port == 0) state.SkipWithError("no node answers");
  }
}
BENCHMARK(queries_of_a_write)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
