// The plug-in description resource as bytes, for code that checks it
// without a Windows resource section (the native tests). The module gets the
// same bytes from quillmarch.rc, which expands the same item list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillmarch {

inline constexpr std::size_t kPiplSize = 294;
inline constexpr std::uint16_t kPiplResourceId = 16000;
inline constexpr std::uint16_t kPiplLanguage = 1033;  // English, United States

namespace pipl_detail {

struct Writer {
  std::array<std::uint8_t, kPiplSize> bytes{};
  std::size_t size = 0;
  bool overflow = false;

  constexpr void Byte(unsigned value) {
    if (size == bytes.size()) {
      overflow = true;
      return;
    }
    bytes[size++] = static_cast<std::uint8_t>(value & 0xFFu);
  }
  constexpr void Word(std::uint32_t value) {
    Byte(value);
    Byte(value >> 8);
  }
  constexpr void Long(std::uint32_t value) {
    Word(value);
    Word(value >> 16);
  }
  template <std::size_t N>
  constexpr void Text(const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) Byte(static_cast<unsigned char>(text[i]));
  }
};

constexpr std::array<std::uint8_t, kPiplSize> Build() {
  Writer w;
#define QM_WORD(n) w.Word(n);
#define QM_LONG(n) w.Long(n);
#define QM_TEXT(s) w.Text(s);
#include "resources/pipl_contents.inc"
#undef QM_WORD
#undef QM_LONG
#undef QM_TEXT
  // A list of another length does not compile: a constant expression cannot throw.
  if (w.overflow || w.size != kPiplSize) throw "the description is not 294 bytes long";
  return w.bytes;
}

}  // namespace pipl_detail

/// The 294 bytes of resource type "PIPL", id 16000, language 1033.
inline constexpr std::array<std::uint8_t, kPiplSize> kPiplBytes = pipl_detail::Build();

}  // namespace quillmarch
