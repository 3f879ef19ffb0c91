#include "db/embedded/types/collation.h"

#include "db/embedded/types/sql_types.h"
#include "db/embedded/types/temporal.h"

#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unicode/utf8.h>

#include "common/text.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

struct Spec {
  std::string locale;
  UCollationStrength strength = UCOL_SECONDARY;
  bool caseLevel = false;
  bool binary = false;
};

bool ParseSpec(std::string_view name, Spec& spec) {
  const std::string upper = ToUpperAscii(name);
  if (upper.empty()) return false;
  if (upper.find("HUNGARIAN") != std::string::npos) {
    spec.locale = "hu";
  } else if (upper.find("LATIN1_GENERAL") != std::string::npos || upper.find("SQL_LATIN1") == 0) {
    spec.locale = "en";
  } else {
    return false;
  }
  const bool bin = upper.size() >= 4 && (upper.ends_with("_BIN") || upper.ends_with("_BIN2"));
  if (bin) {
    spec.binary = true;
    return true;
  }
  const bool ci = upper.find("_CI") != std::string::npos;
  const bool cs = upper.find("_CS") != std::string::npos;
  const bool ai = upper.find("_AI") != std::string::npos;
  const bool as = upper.find("_AS") != std::string::npos;
  if (ci == cs || ai == as) return false;
  if (ci && ai) {
    spec.strength = UCOL_PRIMARY;
  } else if (ci) {
    spec.strength = UCOL_SECONDARY;
  } else if (ai) {
    spec.strength = UCOL_PRIMARY;
    spec.caseLevel = true;
  } else {
    spec.strength = UCOL_TERTIARY;
  }
  return true;
}

std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Next UTF-8 character starting at i.
std::string_view NextChar(std::string_view s, std::size_t& i) {
  const std::size_t start = i;
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, s.size(), c);
  (void)c;
  return s.substr(start, i - start);
}

int CompareCallback(void* arg, int la, const void* a, int lb, const void* b) {
  const auto* coll = static_cast<const Collation*>(arg);
  return coll->Compare(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                       std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

void DestroyCollation(void* arg) {
  delete static_cast<Collation*>(arg);
}

template <int (*Compare)(std::string_view, std::string_view)>
int TypeCompareCallback(void*, int la, const void* a, int lb, const void* b) {
  return Compare(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                 std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

void CollationNeeded(void*, sqlite3* db, int, const char* name) {
  // The orders of types whose text does not sort as their values.
  if (name == kDateTimeOffsetCollation) {
    sqlite3_create_collation_v2(db, name, SQLITE_UTF8, nullptr,
                                TypeCompareCallback<CompareDateTimeOffsetText>, nullptr);
    return;
  }
  if (name == kUniqueIdentifierCollation) {
    sqlite3_create_collation_v2(db, name, SQLITE_UTF8, nullptr,
                                TypeCompareCallback<CompareUniqueIdentifierText>, nullptr);
    return;
  }
  if (!IsKnownCollation(name)) return;
  try {
    // Ownership passes to SQLite, which calls DestroyCollation.
    auto coll = std::make_unique<Collation>(name);
    if (sqlite3_create_collation_v2(db, name, SQLITE_UTF8, coll.get(), CompareCallback,
                                    DestroyCollation) == SQLITE_OK) {
      coll.release();
    }
  } catch (const std::exception&) {
  }
}

}  // namespace

bool IsKnownCollation(std::string_view name) {
  Spec spec;
  return ParseSpec(name, spec);
}

Collation::Collation(std::string_view name) : name_(name) {
  Spec spec;
  if (!ParseSpec(name, spec)) {
    throw ServerErrorByNumber(448, {name});
  }
  binary_ = spec.binary;
  if (binary_) return;
  UErrorCode status = U_ZERO_ERROR;
  collator_ = ucol_open(spec.locale.c_str(), &status);
  if (U_FAILURE(status) || !collator_) {
    throw ServerErrorByNumber(448, {name});
  }
  ucol_setStrength(collator_, spec.strength);
  if (spec.caseLevel) ucol_setAttribute(collator_, UCOL_CASE_LEVEL, UCOL_ON, &status);
}

Collation::~Collation() {
  if (collator_) ucol_close(collator_);
}

int Collation::Compare(std::string_view a, std::string_view b) const {
  a = TrimTrailingBlanks(a);
  b = TrimTrailingBlanks(b);
  if (binary_) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()),
                                              b.data(), static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

bool Collation::CharEqual(std::string_view a, std::string_view b) const {
  if (a == b) return true;
  if (binary_) return false;
  UErrorCode status = U_ZERO_ERROR;
  return ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                          static_cast<int32_t>(b.size()), &status) == UCOL_EQUAL;
}

bool Collation::Like(std::string_view text, std::string_view pattern,
                     std::string_view escape) const {
  // Iterative matcher with backtracking to the last '%'.
  std::size_t t = 0, p = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size()) {
      std::size_t pn = p;
      std::string_view pc = NextChar(pattern, pn);
      if (!escape.empty() && pc == escape && pn < pattern.size()) {
        std::size_t pe = pn;
        std::string_view lit = NextChar(pattern, pe);
        std::size_t tn = t;
        if (CharEqual(NextChar(text, tn), lit)) {
          t = tn;
          p = pe;
          continue;
        }
      } else if (pc == "%") {
        starP = pn;
        starT = t;
        p = pn;
        continue;
      } else if (pc == "_") {
        NextChar(text, t);
        p = pn;
        continue;
      } else if (pc == "[") {
        std::size_t close = pattern.find(']', pn + 1);
        if (close != std::string_view::npos) {
          std::string_view set = pattern.substr(pn, close - pn);
          bool negate = false;
          if (!set.empty() && set[0] == '^') {
            negate = true;
            set.remove_prefix(1);
          }
          std::size_t tn = t;
          std::string_view tc = NextChar(text, tn);
          bool match = false;
          std::size_t i = 0;
          while (i < set.size()) {
            std::string_view lo = NextChar(set, i);
            if (i < set.size() && set[i] == '-' && i + 1 < set.size()) {
              ++i;
              std::string_view hi = NextChar(set, i);
              if (Compare(tc, lo) >= 0 && Compare(tc, hi) <= 0) match = true;
            } else if (CharEqual(tc, lo)) {
              match = true;
            }
          }
          if (match != negate) {
            t = tn;
            p = close + 1;
            continue;
          }
        } else {
          std::size_t tn = t;
          if (CharEqual(NextChar(text, tn), pc)) {
            t = tn;
            p = pn;
            continue;
          }
        }
      } else {
        std::size_t tn = t;
        if (CharEqual(NextChar(text, tn), pc)) {
          t = tn;
          p = pn;
          continue;
        }
      }
    }
    if (starP == std::string_view::npos) return false;
    NextChar(text, starT);
    t = starT;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

void RegisterCollationProvider(sqlite3* db) {
  sqlite3_collation_needed(db, nullptr, CollationNeeded);
}

}  // namespace moltaro::db::embedded
