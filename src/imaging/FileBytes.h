#pragma once
// Reading the bytes of a picture file for the native readers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantoria::imaging {

// Up to `count` bytes from the start of the regular file `path` (fewer when
// the file is shorter). When `wholeFile` is set, a file longer than `count`
// is refused instead. Throws dib::DibError, e.g.
// "cannot open /p/a.ico: No such file or directory".
std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t count,
                                        bool wholeFile = false);

}  // namespace vantoria::imaging
