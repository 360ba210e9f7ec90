// Archiving of single floats for every scene-graph archive form.
//
// The XML archive writes a float with enough digits to read back bit for bit,
// but it writes NaN and infinity as text that its own reader rejects. A
// non-finite value is therefore refused when saving (the save throws), so an
// archive that was written successfully can always be read back.
#pragma once

#include <cmath>

#include <boost/archive/archive_exception.hpp>
#include <boost/serialization/nvp.hpp>

namespace math {

// Writes or reads `value` as the element `name`.
// Throws boost::archive::archive_exception (output_stream_error, naming the
// element) when saving a NaN or an infinity; reading throws what the archive
// throws for a malformed number.
template <class Archive>
void archiveFloat(Archive& ar, const char* name, float& value) {
  if constexpr (Archive::is_saving::value) {
    if (!std::isfinite(value)) {
      throw boost::archive::archive_exception(
          boost::archive::archive_exception::output_stream_error, "non-finite float in element",
          name);
    }
  }
  ar& boost::serialization::make_nvp(name, value);
}

}  // namespace math
