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

// The working directories of the database maker inside a database directory.
// One is named makerWorkDirPrefix and six characters, and is the maker's own
// only when it holds a regular file makerWorkMarkerName whose content is
// makerWorkMarkerText; a run holds a lock on that file for as long as it
// lives. The file makerCommittingName stands in it while its run moves the
// new files into place, so a working directory that holds it and whose
// marker nobody locks is an update that was stopped half-way.
inline constexpr char makerWorkDirPrefix[] = ".zil-makedb-";
inline constexpr char makerWorkMarkerName[] = ".zil-makedb-work";
inline constexpr char makerWorkMarkerText[] = "zil-makedb working directory\n";
inline constexpr char makerCommittingName[] = ".committing";

} // namespace zil::store
