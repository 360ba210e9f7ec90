// Scene-graph benchmarks: node blending, the linear key track with and
// without its hint, and reading a node tree from an XML archive.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "anim/LinearKeyTrack.h"
#include "sg/ArchiveText.h"
#include "sg/Node.h"

namespace {

lang::Ptr<anim::Track> keyTrack(int keys, int components) {
  auto* t = new anim::LinearKeyTrack;
  for (int k = 0; k < keys; ++k) {
    float v = static_cast<float>(k % 7);
    if (components == 4)
      t->addKey(static_cast<float>(k), 0, 0, v * 0.1f, 1);
    else
      t->addKey(static_cast<float>(k), v, -v, v * 0.5f);
  }
  return lang::Ptr<anim::Track>(t);
}

// Playing a 1000-key track forward in small steps, handing back the hint
// (as blend does) or starting every search from the first key.
void BM_TrackPlayback(benchmark::State& state) {
  const bool useHint = state.range(0) != 0;
  lang::Ptr<anim::Track> track = keyTrack(1000, 3);
  float out[3];
  for (auto _ : state) {
    std::uint32_t hint = 0;
    for (float t = 0; t < 1000; t += 0.25f) {
      std::uint32_t h = track->evaluate(t, out, 3, useHint ? hint : 0);
      hint = h;
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * 4000);
}
BENCHMARK(BM_TrackPlayback)->Arg(1)->Arg(0);

// Blending four animated sources into one node.
void BM_BlendFourSources(benchmark::State& state) {
  std::vector<lang::Ptr<sg::Node>> sources;
  for (int i = 0; i < 4; ++i) {
    lang::Ptr<sg::Node> n(new sg::Node);
    n->translationTrack = keyTrack(100, 3);
    n->rotationTrack = keyTrack(100, 4);
    if (i % 2) n->scaleTrack = keyTrack(100, 3);
    sources.push_back(n);
  }
  sg::Node* raw[4] = {sources[0].get(), sources[1].get(), sources[2].get(), sources[3].get()};
  float weights[4] = {0.4f, 0.3f, 0.2f, 0.1f};
  sg::Node target;
  float time = 0;
  for (auto _ : state) {
    float times[4] = {time, time * 0.5f, time, time * 2};
    target.blend(raw, times, weights, 4);
    time = time < 49 ? time + 0.01f : 0;
    benchmark::DoNotOptimize(target.m_localTransform);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BlendFourSources);

// Reading a tree of 64 children under one root, each with 8 children.
void BM_ReadNodeTree(benchmark::State& state) {
  lang::Ptr<sg::Node> root(new sg::Node);
  for (int i = 0; i < 64; ++i) {
    lang::Ptr<sg::Node> c(new sg::Node);
    for (int j = 0; j < 8; ++j) c->addChild(lang::Ptr<sg::Node>(new sg::Node));
    root->addChild(c);
  }
  const std::string text = sg::saveArchiveText("root", root);
  for (auto _ : state) {
    lang::Ptr<sg::Node> back;
    sg::loadArchiveText(text, "root", back);
    benchmark::DoNotOptimize(back.get());
  }
  state.SetItemsProcessed(state.iterations() * (1 + 64 * 9));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadNodeTree);

}  // namespace

BENCHMARK_MAIN();
