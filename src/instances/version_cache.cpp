#include "instances/version_cache.h"

#include "common/text.h"

namespace moltaro::instances {

void VersionCache::Restart() {
  items_.clear();
  items_.emplace_back(kCachePlaceholder);
}

void VersionCache::Append(const std::string& databaseName, const std::string& version) {
  items_.push_back(databaseName);
  items_.push_back(version);
}

CalcFields VersionCache::Calculate(const std::string& databaseName) const {
  // Every pair is compared and the last match wins; `VanVer` is set at each
  // comparison, so it ends up following the final `Ver`, but only when
  // there was a pair at all. A trailing name without its version (never
  // built by Append) is skipped.
  const std::string* version = nullptr;
  bool compared = false;
  for (std::size_t i = 1; i + 1 < items_.size(); i += 2) {
    compared = true;
    if (items_[i] == databaseName) version = &items_[i + 1];
  }
  CalcFields fields;
  if (version != nullptr) fields.Ver = Utf8Left(*version, kVerLength);
  if (compared) fields.VanVer = std::string(fields.Ver == kNotInstalled ? kNo : kYes);
  return fields;
}

}  // namespace moltaro::instances
