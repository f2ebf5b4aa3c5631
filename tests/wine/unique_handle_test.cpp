// The handle owner of the programs and tests: each handle closed exactly once.
#include "testkit/unique_handle.h"

#include <utility>

#include "tests/wine/fixture.h"

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

TEST(UniqueHandle, MovedHandlesAreClosedOnceByTheirLastOwner) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    UniqueHandle first(event);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), event);
    UniqueHandle third;
    third = std::move(second);
    EXPECT_TRUE(IsOpen(event));
  }
  EXPECT_FALSE(IsOpen(event));
}

TEST(UniqueHandle, PutAndResetCloseWhatWasHeldAndInvalidMeansEmpty) {
  UniqueHandle owner(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE before = owner.get();
  HANDLE* slot = owner.put();
  EXPECT_FALSE(IsOpen(before));
  EXPECT_EQ(*slot, nullptr);
  *slot = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE kept = owner.release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(IsOpen(kept));
  CloseHandle(kept);
  UniqueHandle invalid(INVALID_HANDLE_VALUE);  // what CreateFileW gives on failure
  EXPECT_FALSE(invalid);
}

}  // namespace
