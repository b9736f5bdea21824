// A generated database of any size for tests and measurements: plausible
// material names, CAS numbers, memo texts, suppliers and links, the same for
// the same size and seed on every machine.
#pragma once

#include "catalogue.h"

namespace zil::makedb {

inline constexpr quint64 defaultSyntheticSeed = 20240611;
inline constexpr int maxSyntheticMaterials = 1000000;

// The number of suppliers of a synthetic database of n materials.
int syntheticSupplierCount(int materials);

// A catalogue of n materials (1 <= n <= maxSyntheticMaterials). Memo texts
// are produced through Catalogue::memoSource as the materials are written.
Catalogue makeSynthetic(int materials, quint64 seed);

} // namespace zil::makedb
