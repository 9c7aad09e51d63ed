// The module's version resource, read back the way Windows Explorer reads it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hostkit/text.h"
#include "tests/support/version.h"

namespace veilmere::test {
namespace {

class VersionResource : public testing::Test {
 protected:
  void SetUp() override {
    path_ = hostkit::WindowsPath(VEILMERE_MODULE_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << VEILMERE_MODULE_PATH;
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, data_.data()));
  }

  // The string `key` of the Japanese / UTF-16 table, or nullopt-like "<missing>".
  std::wstring Value(const std::wstring& key) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\041104b0\\" + key;
    if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length)) return L"<missing>";
    return length == 0 ? std::wstring() : std::wstring(static_cast<const wchar_t*>(value));
  }

  std::wstring path_;
  std::vector<unsigned char> data_;
};

TEST_F(VersionResource, CarriesEveryKeyOfTheJapaneseStringTable) {
  const std::wstring version = std::to_wstring(test::kVersionMajor) + L", " +
                              std::to_wstring(test::kVersionMinor) + L", 0, 0";
  const std::pair<const wchar_t*, std::wstring> expected[] = {
      {L"Comments", L"This is plugin filter for Quillfen."}, {L"CompanyName", L" "},
      {L"FileDescription", L"\u900F\u660E\u5EA6"} /* 透明度 */, {L"FileVersion", version},
      {L"InternalName", L"veilmere"},   {L"LegalTrademarks", L""},
      {L"PrivateBuild", L""},           {L"SpecialBuild", L""},
      {L"OriginalFilename", L"veilmere.qfi"}, {L"ProductName", L"  veilmere"},
      {L"ProductVersion", version}};
  for (const auto& [key, value] : expected) EXPECT_EQ(Value(key), value) << key;
  const std::wstring copyright = Value(L"LegalCopyright");
  EXPECT_NE(copyright, L"<missing>");
  EXPECT_FALSE(copyright.empty());
}

TEST_F(VersionResource, FixedPartAndTranslation) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const std::uint32_t majorMinor = test::kVersionMajor << 16 | test::kVersionMinor;
  EXPECT_EQ(fixed->dwFileVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);  // .0.0
  EXPECT_EQ(fixed->dwProductVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x40004u);  // VOS_NT_WINDOWS32
  EXPECT_EQ(fixed->dwFileType, 2u);      // VFT_DLL
  EXPECT_EQ(fixed->dwFileSubtype, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0411);
  EXPECT_EQ(translation[1], 1200);
}

}  // namespace
}  // namespace veilmere::test
