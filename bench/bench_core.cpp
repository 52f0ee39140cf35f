#include <benchmark/benchmark.h>

#include <vector>

#include "tb_list.h"
#include "tb_map.h"

static void BM_ListAppendMillionPointers(benchmark::State& state) {
    static int target;
    for (auto _ : state) {
        TB_List<int*> list;
        for (int i = 0; i < 1000000; ++i) {
            list.Add(&target);
        }
        benchmark::DoNotOptimize(list.Items());
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_ListAppendMillionPointers)->Unit(benchmark::kMillisecond);

static void BM_MapLookupIn500Keys(benchmark::State& state) {
    TB_Map<int> map;
    std::vector<TB_String> keys;
    for (int i = 0; i < 500; ++i) {
        TB_String key;
        key.Format(u"category-%d", i);
        keys.push_back(key);
        map.Add(key, i);
    }
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.Find(keys[next]));
        next = (next + 1) % keys.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapLookupIn500Keys);
