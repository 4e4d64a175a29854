// Reading the plug-in description ("PIPL" 16000) out of a loaded module, as
// the host does before its first call, and splitting it into properties.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillmarch::module_test {

/// The resource's bytes, or an empty vector with the reason in `error`.
std::vector<std::uint8_t> ReadDescriptionResource(HMODULE module, std::string& error);

/// The languages under which the module carries the resource.
std::vector<WORD> DescriptionResourceLanguages(HMODULE module);

struct PiplProperty {
  std::size_t offset;  ///< of the vendor code, from the resource's start
  std::string vendor;  ///< four-character code, in reading order ("8BIM")
  std::string key;     ///< four-character code, in reading order ("kind")
  std::uint32_t id;
  std::vector<std::uint8_t> data;  ///< `length` bytes, without the fill
  std::vector<std::uint8_t> fill;  ///< the bytes up to the next multiple of 4
};

struct PiplList {
  std::uint16_t leading_word = 0;
  std::uint32_t version = 0;
  std::uint32_t count = 0;
  std::vector<PiplProperty> properties;
  std::size_t end = 0;  ///< offset just past the last property's fill
};

/// Parses the property list; false with the reason in `error` when a
/// property runs past the resource's end.
bool ParsePipl(const std::vector<std::uint8_t>& bytes, PiplList& list, std::string& error);

/// The 32-bit little-endian value of a four-byte property, or nullopt-like
/// false when the key is missing or its data is not four bytes long.
bool PiplLong(const PiplList& list, const std::string& key, std::uint32_t& value);

}  // namespace quillmarch::module_test
