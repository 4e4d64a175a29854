#include "tests/module/description_resource.h"

#include <cstring>

namespace quillmarch::module_test {

namespace {

constexpr WORD kEnglishUnitedStates = 1033;
const char* const kType = "PIPL";
constexpr WORD kId = 16000;

std::uint32_t Long(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// A four-character code is stored as the little-endian integer whose
// big-endian reading is the code.
std::string Code(std::uint32_t value) {
  std::string code(4, ' ');
  for (int i = 0; i < 4; ++i)
    code[static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
  return code;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
  return TRUE;
}

}  // namespace

std::vector<std::uint8_t> ReadDescriptionResource(HMODULE module, std::string& error) {
  HRSRC info = FindResourceExA(module, kType, MAKEINTRESOURCEA(kId), kEnglishUnitedStates);
  if (info == nullptr) {
    error = "no resource PIPL 16000 in language 1033, error " + std::to_string(GetLastError());
    return {};
  }
  const DWORD size = SizeofResource(module, info);
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) {
    error = "resource PIPL 16000 does not load";
    return {};
  }
  std::vector<std::uint8_t> bytes(size);
  std::memcpy(bytes.data(), data, size);
  return bytes;
}

std::vector<WORD> DescriptionResourceLanguages(HMODULE module) {
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, kType, MAKEINTRESOURCEA(kId), AddLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

bool ParsePipl(const std::vector<std::uint8_t>& bytes, PiplList& list, std::string& error) {
  list = PiplList{};
  if (bytes.size() < 10) {
    error = "shorter than the 10-byte header";
    return false;
  }
  list.leading_word = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  list.version = Long(bytes, 2);
  list.count = Long(bytes, 6);
  std::size_t at = 10;
  for (std::uint32_t i = 0; i < list.count; ++i) {
    if (bytes.size() - at < 16) {
      error = "property " + std::to_string(i + 1) + " has no room for its 16-byte head";
      return false;
    }
    PiplProperty property;
    property.offset = at;
    property.vendor = Code(Long(bytes, at));
    property.key = Code(Long(bytes, at + 4));
    property.id = Long(bytes, at + 8);
    const std::uint32_t length = Long(bytes, at + 12);
    const std::size_t padded =
        (static_cast<std::size_t>(length) + 3) & ~static_cast<std::size_t>(3);
    at += 16;
    if (bytes.size() - at < padded) {
      error = "property " + property.key + " runs past the resource's end";
      return false;
    }
    property.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    property.fill.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + length),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + padded));
    at += padded;
    list.properties.push_back(std::move(property));
  }
  list.end = at;
  return true;
}

bool PiplLong(const PiplList& list, const std::string& key, std::uint32_t& value) {
  for (const PiplProperty& property : list.properties) {
    if (property.key == key && property.data.size() == 4) {
      value = Long(property.data, 0);
      return true;
    }
  }
  return false;
}

}  // namespace quillmarch::module_test
