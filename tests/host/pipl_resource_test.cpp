// The description resource's bytes, read back the way the host reads them,
// and held equal to what global setup reports at run time.
#include "resources/pipl_resource.h"

#include <string>
#include <vector>

#include "tests/host/host_test_support.h"

namespace quillmarch::test {
namespace {

std::uint32_t Long(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A four-character code is stored as the little-endian integer whose
// big-endian reading is the code.
std::string Code(const std::uint8_t* at) {
  return {static_cast<char>(at[3]), static_cast<char>(at[2]), static_cast<char>(at[1]),
          static_cast<char>(at[0])};
}

struct Property {
  std::size_t offset;
  std::string key;
  std::vector<std::uint8_t> data;
};

// Property by property with the fill rule; fails the test on any misstep.
std::vector<Property> Parse(std::size_t& end) {
  const std::uint8_t* bytes = kPiplBytes.data();
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 1);  // leading word
  EXPECT_EQ(Long(bytes + 2), 0u);          // list version
  const std::uint32_t count = Long(bytes + 6);
  std::vector<Property> properties;
  std::size_t at = 10;
  for (std::uint32_t i = 0; i < count && at + 16 <= kPiplSize; ++i) {
    EXPECT_EQ(Code(bytes + at), "8BIM") << "property " << i;
    EXPECT_EQ(Long(bytes + at + 8), 0u) << "property " << i;
    const std::uint32_t length = Long(bytes + at + 12);
    const std::size_t data_at = at + 16;
    const std::size_t next = data_at + (length + 3u) / 4u * 4u;
    if (next > kPiplSize) {
      ADD_FAILURE() << "property " << i << " runs past the end";
      break;
    }
    for (std::size_t fill = data_at + length; fill < next; ++fill) EXPECT_EQ(bytes[fill], 0);
    properties.push_back({at, Code(bytes + at + 4), {bytes + data_at, bytes + data_at + length}});
    at = next;
  }
  end = at;
  return properties;
}

const Property* Find(const std::vector<Property>& properties, const std::string& key) {
  for (const Property& property : properties) {
    if (property.key == key) return &property;
  }
  return nullptr;
}

TEST(PiplResourceTest, ParsesToItsEndThroughTwelveProperties) {
  std::size_t end = 0;
  const std::vector<Property> properties = Parse(end);
  EXPECT_EQ(end, kPiplSize);
  const std::vector<std::pair<std::size_t, std::string>> expected = {
      {10, "kind"},  {30, "name"},  {58, "catg"},  {82, "wx86"},  {114, "ePVR"}, {134, "eSVR"},
      {154, "eVER"}, {174, "eINF"}, {194, "eGLO"}, {214, "eGL2"}, {234, "eMNA"}, {274, "aeFL"}};
  ASSERT_EQ(properties.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(properties[i].offset, expected[i].first);
    EXPECT_EQ(properties[i].key, expected[i].second);
  }
}

TEST(PiplResourceTest, TextsAreLengthPrefixed) {
  std::size_t end = 0;
  const std::vector<Property> properties = Parse(end);
  const std::pair<const char*, std::string> texts[] = {
      {"name", "Quillmarch"}, {"catg", "Dorvak"}, {"eMNA", "Quillmarch by Teslobrin"}};
  for (const auto& [key, text] : texts) {
    SCOPED_TRACE(key);
    const Property* property = Find(properties, key);
    ASSERT_NE(property, nullptr);
    ASSERT_GE(property->data.size(), text.size() + 1);
    EXPECT_EQ(property->data[0], text.size());
    EXPECT_EQ(std::string(property->data.begin() + 1,
                          property->data.begin() + 1 + static_cast<std::ptrdiff_t>(text.size())),
              text);
    EXPECT_EQ(property->data.size() % 4, 0u);
  }
  const Property* kind = Find(properties, "kind");
  ASSERT_NE(kind, nullptr);
  EXPECT_EQ(Code(kind->data.data()), "eFKT");
  const Property* entry = Find(properties, "wx86");
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(entry->data.data()), "EntryPointFunc");
}

using PiplGlobalSetupTest = HostTest;

TEST_F(PiplGlobalSetupTest, VersionAndFlagsEqualWhatGlobalSetupReports) {
  ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
  std::size_t end = 0;
  const std::vector<Property> properties = Parse(end);
  const std::pair<const char*, std::uint32_t> values[] = {
      {"eVER", host.out_data().my_version},
      {"eGLO", static_cast<std::uint32_t>(host.out_data().out_flags)},
      {"eGL2", static_cast<std::uint32_t>(host.out_data().out_flags2)},
  };
  for (const auto& [key, reported] : values) {
    SCOPED_TRACE(key);
    const Property* property = Find(properties, key);
    ASSERT_NE(property, nullptr);
    ASSERT_EQ(property->data.size(), 4u);
    EXPECT_EQ(Long(property->data.data()), reported);
  }
}

}  // namespace
}  // namespace quillmarch::test
