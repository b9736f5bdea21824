// Marks that tell this program's own files from any others: the first bytes
// of an index file, and the SQLite header fields that stamp a table file.
// The store and the database maker both use them, so they live in one place
// with no dependencies.
#pragma once

#include <cstdint>

namespace zil::store {

// Every index file the store writes begins with these bytes followed by a
// line break. A file is only ever treated as an index when it begins so.
inline constexpr char indexFileMagicText[] = "ZIL-INDEX 1";

// SQLite's header field application_id of every table file the maker writes
// ("ZIL1" in ASCII). A table without it predates the stamp and still opens.
inline constexpr std::int32_t tableApplicationId = 0x5A494C31;

// The four table files of one database carry the same generation in SQLite's
// header field user_version; the maker gives each new database a new one.
// Zero means "not stamped".

} // namespace zil::store
