// The filter list: building and tearing down, index checks, forwarding, and the set-up guard,
// with test filters that count their lives and record their calls.

#include "plugin/filter_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/creation_table.h"
#include "plugin/error_notice.h"

#if defined(_WIN32)
#include <windows.h>

namespace {

// The message boxes this program was asked to show.
struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<MessageBoxCall> gMessageBoxes;

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  gMessageBoxes.push_back({owner, text, caption, type});
  return IDOK;
}

}  // namespace

// plugin/error_notice_win32.cpp calls MessageBoxA through the import pointer that user32's
// import library would supply. This program supplies that pointer itself, so the linker takes
// no import from user32 and the real notice code shows its box here, where a test can read it
// and no one has to close it.
#if defined(_WIN64)
#define VEILMERE_MESSAGEBOX_IMPORT "__imp_MessageBoxA"
#else
#define VEILMERE_MESSAGEBOX_IMPORT "__imp__MessageBoxA@16"
#endif
extern "C" {
decltype(&MessageBoxA) messageBoxImport __asm__(VEILMERE_MESSAGEBOX_IMPORT) = &RecordMessageBox;
}
#endif

namespace veilmere {
namespace {

int gLiveFilters = 0;
std::vector<int> gRowsAsked;  // the rows whose factory was called, in call order
class CountingFilter;
std::vector<CountingFilter*> gCreated;  // in creation order

// A filter that counts how many of its kind are alive and records the values it is run and
// set up with.
class CountingFilter : public Filter {
 public:
  explicit CountingFilter(const char* name) : Filter(name, "Test|T") {
    ++gLiveFilters;
    gCreated.push_back(this);
  }
  ~CountingFilter() override { --gLiveFilters; }

  void Execute(HostValue v2, Pixel* source, Pixel* destination, HostValue v5,
               const FilterRect* rect, HostValue v7, std::int32_t rowLength, HostValue v9,
               ProgressRecord* record) override {
    executed = {v2, reinterpret_cast<HostValue>(source), reinterpret_cast<HostValue>(destination),
                v5, reinterpret_cast<HostValue>(rect), v7, static_cast<HostValue>(rowLength), v9,
                reinterpret_cast<HostValue>(record)};
  }
  std::vector<HostValue> executed;
  std::vector<HostValue> setUp;

  std::int32_t Setup(HostValue owner, HostValue v3, HostValue v4, HostValue v5) override {
    setUp = {owner, v3, v4, v5};
    return owner != 0 ? 1 : 0;  // lets a test choose the answer
  }
};

// A filter whose set-up throws whatever `raise` throws.
class ThrowingSetupFilter final : public CountingFilter {
 public:
  ThrowingSetupFilter() : CountingFilter("Throwing|X") {}
  static std::function<void()> raise;

  std::int32_t Setup(HostValue, HostValue, HostValue, HostValue) override {
    raise();
    return 1;
  }
};
std::function<void()> ThrowingSetupFilter::raise;

// An error of the standard family whose description is no text at all.
struct WithoutDescription : std::exception {
  const char* what() const noexcept override { return nullptr; }
};

template <int Row>
Filter* MakeCounting() noexcept {
  gRowsAsked.push_back(Row);
  static const char* const kNames[] = {"Zero|0", "One|1", "Two|2"};
  return new CountingFilter(kNames[Row]);
}
template <int Row>
Filter* MakeNothing() noexcept {
  gRowsAsked.push_back(Row);
  return nullptr;
}
Filter* MakeThrowing() noexcept { return new ThrowingSetupFilter(); }

struct Notice {
  HostValue owner;
  std::string text;
};
std::vector<Notice> gNotices;
void CaptureNotice(HostValue owner, const char* text) { gNotices.push_back({owner, text}); }

class FilterListTest : public testing::Test {
 protected:
  void SetUp() override {
    gLiveFilters = 0;
    gRowsAsked.clear();
    gCreated.clear();
    gNotices.clear();
    ThrowingSetupFilter::raise = nullptr;
  }
};

constexpr FilterFactory kThree[] = {&MakeCounting<0>, &MakeCounting<1>, &MakeCounting<2>};
constexpr FilterFactory kMiddleFails[] = {&MakeCounting<0>, &MakeNothing<1>, &MakeCounting<2>};
constexpr FilterFactory kWithThrowing[] = {&MakeCounting<0>, &MakeThrowing};

TEST_F(FilterListTest, BuildsInTableOrderAndRebuildsWithoutLeaking) {
  {
    FilterList list(kThree, &CaptureNotice);
    EXPECT_EQ(list.Count(), 0);
    ASSERT_TRUE(list.Initialize());
    EXPECT_EQ(list.Count(), 3);
    EXPECT_STREQ(list.Name(0), "Zero|0");
    EXPECT_STREQ(list.Name(2), "Two|2");
    EXPECT_STREQ(list.Category(1), "Test|T");
    EXPECT_EQ(gRowsAsked, (std::vector<int>{0, 1, 2}));

    ASSERT_TRUE(list.Initialize());  // clears before it fills
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(gLiveFilters, 3);
  }
  EXPECT_EQ(gLiveFilters, 0);  // the destructor clears
}

TEST_F(FilterListTest, AFailedRowStillBuildsTheRestThenDestroysEverything) {
  FilterList list(kMiddleFails, &CaptureNotice);
  EXPECT_FALSE(list.Initialize());
  EXPECT_EQ(gRowsAsked, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(gLiveFilters, 0);
  EXPECT_STREQ(list.Name(0), "");
}

TEST_F(FilterListTest, OutOfRangeIndexesAreAbsorbed) {
  FilterList list(kThree, &CaptureNotice);
  ASSERT_TRUE(list.Initialize());
  for (const std::uint32_t index : {3u, UINT32_MAX /* -1 */, 0x80000000u /* INT32_MIN */}) {
    EXPECT_STREQ(list.Name(index), "");
    EXPECT_STREQ(list.Category(index), "");
    EXPECT_EQ(list.Setup(index, 1, 2, 3, 4), 0);
    list.Execute(index, 1, nullptr, nullptr, 2, nullptr, 3, 4, 5, nullptr);
  }
  for (const CountingFilter* filter : gCreated) {
    EXPECT_TRUE(filter->executed.empty());
    EXPECT_TRUE(filter->setUp.empty());
  }
  EXPECT_TRUE(gNotices.empty());
}

TEST_F(FilterListTest, ForwardsRunAndSetupValuesInOrder) {
  FilterList list(kThree, &CaptureNotice);
  ASSERT_TRUE(list.Initialize());
  Pixel source{}, destination{};
  const FilterRect rect{};
  ProgressRecord record{};
  list.Execute(1, 2, &source, &destination, 5, &rect, 7, 8, 9, &record);
  ASSERT_EQ(gCreated.size(), 3u);
  EXPECT_EQ(gCreated[1]->executed,
            (std::vector<HostValue>{2, reinterpret_cast<HostValue>(&source),
                                    reinterpret_cast<HostValue>(&destination), 5,
                                    reinterpret_cast<HostValue>(&rect), 7, 8, 9,
                                    reinterpret_cast<HostValue>(&record)}));
  EXPECT_TRUE(gCreated[0]->executed.empty());
  EXPECT_TRUE(gCreated[2]->executed.empty());

  EXPECT_EQ(list.Setup(2, 11, 12, 13, 14), 1);
  EXPECT_EQ(gCreated[2]->setUp, (std::vector<HostValue>{11, 12, 13, 14}));
  EXPECT_EQ(list.Setup(2, 0, 12, 13, 14), 0);
  EXPECT_TRUE(gNotices.empty());
}

TEST_F(FilterListTest, AStandardErrorDuringSetupIsShownOnceAndGivesZero) {
  struct Case {
    const char* what;
    std::function<void()> raise;
    std::string shown;
  };
  const Case cases[] = {
      {"a description", [] { throw std::runtime_error("the dialog could not be made"); },
       "the dialog could not be made"},
      {"an overlong description, cut to the notice buffer",
       [] { throw std::runtime_error(std::string(2000, 'x')); },
       std::string(FilterList::kNoticeBufferSize - 1, 'x')},
      {"no description, shown as empty text", [] { throw WithoutDescription(); }, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gNotices.clear();
    FilterList list(kWithThrowing, &CaptureNotice);
    ASSERT_TRUE(list.Initialize());
    ThrowingSetupFilter::raise = c.raise;
    EXPECT_EQ(list.Setup(1, 0x1234, 0, 0, 0), 0);
    ASSERT_EQ(gNotices.size(), 1u);
    EXPECT_EQ(gNotices[0].owner, HostValue{0x1234});
    EXPECT_EQ(gNotices[0].text, c.shown);
    EXPECT_EQ(list.Count(), 2);  // the list stays as it was
    EXPECT_EQ(list.Setup(0, 1, 0, 0, 0), 1);
  }
}

TEST_F(FilterListTest, ErrorsOutsideTheStandardFamilyPassThrough) {
  FilterList list(kWithThrowing, &CaptureNotice);
  ASSERT_TRUE(list.Initialize());
  ThrowingSetupFilter::raise = [] { throw 42; };
  EXPECT_THROW(list.Setup(1, 1, 0, 0, 0), int);
  EXPECT_TRUE(gNotices.empty());
}

// The platform's own notice, not a capture: on Windows a message box owned by the host's
// window with the caption "exception", the stop-sign icon and an OK button; elsewhere one line
// on stderr.
TEST_F(FilterListTest, TheRealNoticeShowsTheDescriptionWithTheCaptionException) {
  FilterList list(kWithThrowing, &ShowErrorNotice);
  ASSERT_TRUE(list.Initialize());
  ThrowingSetupFilter::raise = [] { throw std::runtime_error("the dialog could not be made"); };
#if defined(_WIN32)
  gMessageBoxes.clear();
  EXPECT_EQ(list.Setup(1, 0x1234, 0, 0, 0), 0);
  ASSERT_EQ(gMessageBoxes.size(), 1u);
  EXPECT_EQ(gMessageBoxes[0].owner, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(gMessageBoxes[0].text, "the dialog could not be made");
  EXPECT_EQ(gMessageBoxes[0].caption, "exception");
  EXPECT_EQ(gMessageBoxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
  EXPECT_EQ(gMessageBoxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
#else
  testing::internal::CaptureStderr();
  EXPECT_EQ(list.Setup(1, 0x1234, 0, 0, 0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "exception: the dialog could not be made\n");
#endif
}

TEST(CreationTable, BuildsEveryFilterOnceAndSetsEachUp) {
  FilterList list(CreationTable(), &CaptureNotice);
  ASSERT_TRUE(list.Initialize());
  ASSERT_EQ(list.Count(), static_cast<std::int32_t>(CreationTable().size()));
  for (std::uint32_t i = 0; i < CreationTable().size(); ++i) {
    EXPECT_STREQ(list.Category(i), kTransparencyCategory);
    EXPECT_EQ(list.Setup(i, 0, 0, 0, 0), 1);
  }
}

}  // namespace
}  // namespace veilmere
