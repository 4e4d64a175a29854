// The description resource of the real binary, read through the Windows
// loader as the host reads it before its first call.
#include "tests/module/description_resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/module/loaded_module.h"

namespace quillmarch::module_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Bytes Pascal(const std::string& text) {
  return Concat({Bytes{static_cast<std::uint8_t>(text.size())}, Text(text)});
}

struct Expected {
  std::size_t offset;
  std::string key;
  Bytes data;
};

// Written out from the host's rules, not from the resource script, so that
// a slip in the script (an escape the resource compiler reads differently,
// a fill byte too many) shows here.
const std::vector<Expected>& ExpectedProperties() {
  static const std::vector<Expected> properties = {
      {10, "kind", Text("TKFe")},  // 'eFKT' stored reversed
      {30, "name", Concat({Pascal("Quillmarch"), Bytes{0}})},
      {58, "catg", Concat({Pascal("Dorvak"), Bytes{0}})},
      {82, "wx86", Concat({Text("EntryPointFunc"), Bytes{0, 0}})},
      {114, "ePVR", Bytes{2, 0, 0, 0}},
      {134, "eSVR", Bytes{12, 0, 10, 0}},
      {154, "eVER", Bytes{0x01, 0x06, 0x08, 0x00}},
      {174, "eINF", Bytes{0, 0}},
      {194, "eGLO", Bytes{0x40, 0x00, 0x00, 0x02}},
      {214, "eGL2", Bytes{0x00, 0x14, 0x00, 0x00}},
      {234, "eMNA", Pascal("Quillmarch by Teslobrin")},
      {274, "aeFL", Bytes{8, 0, 0, 0}},
  };
  return properties;
}

Bytes ExpectedResource() {
  Bytes all = {1, 0, 0, 0, 0, 0, 12, 0, 0, 0};
  for (const Expected& property : ExpectedProperties()) {
    const std::uint32_t length = static_cast<std::uint32_t>(property.data.size());
    all = Concat(
        {all, Text("MIB8"), Text(std::string(property.key.rbegin(), property.key.rend())),
         Bytes{0, 0, 0, 0},
         Bytes{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)},
         property.data, Bytes((4 - length % 4) % 4, 0)});
  }
  return all;
}

Bytes ModuleResource() {
  std::string error;
  Bytes bytes = ReadDescriptionResource(TheModule().handle(), error);
  EXPECT_FALSE(bytes.empty()) << error;
  return bytes;
}

TEST(DescriptionResource, IsCarriedOnlyInEnglishUnitedStates) {
  EXPECT_EQ(DescriptionResourceLanguages(TheModule().handle()), std::vector<WORD>{1033});
}

TEST(DescriptionResource, ParsesPropertyByPropertyToItsEnd) {
  const Bytes bytes = ModuleResource();
  ASSERT_EQ(bytes.size(), 294u);
  PiplList list;
  std::string error;
  ASSERT_TRUE(ParsePipl(bytes, list, error)) << error;
  EXPECT_EQ(list.leading_word, 1);
  EXPECT_EQ(list.version, 0u);
  ASSERT_EQ(list.count, 12u);
  const std::vector<Expected>& expected = ExpectedProperties();
  ASSERT_EQ(list.properties.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const PiplProperty& property = list.properties[i];
    SCOPED_TRACE("property " + std::to_string(i + 1) + " '" + expected[i].key + "'");
    EXPECT_EQ(property.offset, expected[i].offset);
    EXPECT_EQ(property.vendor, "8BIM");
    EXPECT_EQ(property.key, expected[i].key);
    EXPECT_EQ(property.id, 0u);
    EXPECT_EQ(property.data, expected[i].data);
    EXPECT_EQ(property.fill, Bytes(property.fill.size(), 0));
  }
  // The fill rule lands exactly on the resource's end.
  EXPECT_EQ(list.end, bytes.size());
}

TEST(DescriptionResource, MatchesByteForByte) {
  const Bytes bytes = ModuleResource();
  const Bytes expected = ExpectedResource();
  ASSERT_EQ(expected.size(), 294u);  // the table above is itself complete
  ASSERT_EQ(bytes.size(), expected.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ(bytes[i], expected[i]) << "first difference at offset " << i;
  }
}

}  // namespace
}  // namespace quillmarch::module_test
