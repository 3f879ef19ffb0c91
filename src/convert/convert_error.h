// The failure that ends a conversion run: a file that cannot be read, a value
// that cannot be converted, a record the run refuses. Its text is shown to
// the operator as it stands.
#pragma once

#include <stdexcept>
#include <string>

namespace moltaro::convert {

class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace moltaro::convert
