#pragma once

#include <string>
#include <vector>

namespace velum {

// The most names read from the stored Collections text.
inline constexpr int kMaxStoredNames = 101;

// The names of a stored Collections text: its comma-separated pieces, at most kMaxStoredNames
// of them counted with the empty ones, which are then left out.
std::vector<std::string> SplitCollectionNames(const std::string& stored);

// True when `name` may join the catalogue `names`: not empty and not there yet.
bool CanAddCollectionName(const std::vector<std::string>& names, const std::string& name);

// The names joined by ",", as Collections stores them.
std::string JoinCollectionNames(const std::vector<std::string>& names);

// The entry shown after entry `position` of `count` is deleted: the next one, else the first.
int SuccessorAfterDelete(int position, int count);

// True when `name` cannot be stored: the stored list of names is comma-joined and would split it.
bool NameSplitsCatalogue(const std::string& name);

// True when `name` holds a line break or a NUL: velum.cfg keeps one record a line, so such a
// name would break its records or forge others.
bool NameBreaksRecords(const std::string& name);

} // namespace velum
