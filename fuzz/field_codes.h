// The ways the boot fuzzers' input layout (input_layout.h) carries a field
// as codes. Each derives the code from the field before the visitor sees it
// (what an encoder writes) and sets the field from the code after (what a
// decoder read).
#ifndef BOARDCFG_FUZZ_FIELD_CODES_H
#define BOARDCFG_FUZZ_FIELD_CODES_H

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace fuzz::layout {

// A code past every menu entry: an encoder clamps it, and the field comes
// back as another value.
inline constexpr uint32_t kNotCarried = UINT32_MAX;

template <class T, size_t N>
uint32_t IndexIn(const T (&menu)[N], const T &value) {
  const auto at = std::find(std::begin(menu), std::end(menu), value);
  return at == std::end(menu) ? kNotCarried
                              : static_cast<uint32_t>(at - std::begin(menu));
}

// One field as a code: ToCode gives the encoder's code, FromCode the value.
template <class V, class T, class ToCode, class FromCode>
void Coded(V &v, T &field, uint32_t max, ToCode toCode, FromCode fromCode) {
  uint32_t code = toCode(field);
  v.Number(code, max);
  field = fromCode(code);
}

// A number carried as itself.
template <class V, class T>
void Plain(V &v, T &field, uint32_t max) {
  Coded(
      v, field, max, [](T value) { return static_cast<uint32_t>(value); },
      [](uint32_t code) { return static_cast<T>(code); });
}

template <class V>
void Flag(V &v, bool &field) {
  Coded(
      v, field, 1, [](bool on) { return on ? 1U : 0U; },
      [](uint32_t code) { return code != 0; });
}

// A flag the fuzzer should rarely set: only the highest of max + 1 codes.
template <class V>
void RareFlag(V &v, bool &field, uint32_t max) {
  Coded(
      v, field, max, [max](bool on) { return on ? max : 0U; },
      [max](uint32_t code) { return code == max; });
}

// A number carried as its difference (XOR) from the default board's.
template <class V, class T>
void Relative(V &v, T &field, T fallback, uint32_t max) {
  Coded(
      v, field, max,
      [fallback](T value) { return static_cast<uint32_t>(value ^ fallback); },
      [fallback](uint32_t code) { return static_cast<T>(code ^ fallback); });
}

template <class V, class T, size_t N>
void Picked(V &v, T &field, const T (&menu)[N]) {
  Coded(
      v, field, N - 1, [&menu](const T &value) { return IndexIn(menu, value); },
      [&menu](uint32_t code) { return menu[code % N]; });
}

// A count (up to max) of elements, each walked by WalkOne.
template <class V, class T, class WalkOne>
void Sequence(V &v, std::vector<T> &items, uint32_t max, WalkOne walkOne) {
  uint32_t count = static_cast<uint32_t>(std::min<size_t>(items.size(), max));
  v.Number(count, max);
  items.resize(count);
  for (T &item : items) {
    walkOne(item);
  }
}

// A map as a sequence of its entries; a later entry with the same key wins.
template <class V, class Map, class WalkOne>
void Entries(V &v, Map &map, uint32_t max, WalkOne walkOne) {
  std::vector<std::pair<typename Map::key_type, typename Map::mapped_type>>
      entries(map.begin(), map.end());
  Sequence(v, entries, max,
           [&walkOne](auto &entry) { walkOne(entry.first, entry.second); });
  map.clear();
  for (auto &[key, value] : entries) {
    map[key] = std::move(value);
  }
}

}  // namespace fuzz::layout

#endif
