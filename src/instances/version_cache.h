// The main window's version cache and the calculated fields of the list.
//
// The cache is an ordered list of texts: position 0 holds a placeholder, then
// for each instance row in list order the database name at an odd position
// and its version text at the next one. The list's calculated fields are
// looked up here on every calculation, so a row added after the last load
// finds no pair until the next load.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace moltaro::instances {

inline constexpr const char* kNotInstalled = "Nincs telepítve";
inline constexpr const char* kCachePlaceholder = "a";
// `Ver` is a 15-character field; longer versions are cut to it.
inline constexpr std::size_t kVerLength = 15;

inline constexpr const char* kYes = "I";
inline constexpr const char* kNo = "N";

// The calculated fields of one row.
struct CalcFields {
  std::string Ver;
  std::string VanVer;  // "I", "N", or empty when the cache holds no pair
};

class VersionCache {
 public:
  // Empty, without even the placeholder (the state before the first load).
  void Clear() { items_.clear(); }
  // Empty but for the placeholder at position 0.
  void Restart();
  void Append(const std::string& databaseName, const std::string& version);

  // `Ver` of the last pair whose database name equals `databaseName` exactly
  // (case-sensitive), cut to 15 characters; empty when none matches. `VanVer`
  // follows `Ver` once there is at least one pair to compare.
  CalcFields Calculate(const std::string& databaseName) const;

  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace moltaro::instances
