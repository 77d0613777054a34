#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "runtime/String.h"

TEST(String, ItsBytesAreTakenWithoutACopyOnlyWhenNoOtherStringSharesThem) {
    String alone(std::string(1000, 'a'));
    const char* const bytes = alone.View().data();
    const std::string taken = alone.TakeBytes();
    EXPECT_EQ(taken, std::string(1000, 'a'));
    EXPECT_EQ(taken.data(), bytes);
    EXPECT_TRUE(alone.IsEmpty());

    String shared(std::string(1000, 'b'));
    const String other = shared;
    const std::string copied = shared.TakeBytes();
    EXPECT_EQ(copied, std::string(1000, 'b'));
    EXPECT_NE(copied.data(), other.View().data());
    EXPECT_EQ(other.Bytes(), std::string(1000, 'b'));
    EXPECT_TRUE(shared.IsEmpty());

    String empty;
    EXPECT_EQ(empty.TakeBytes(), "");
    EXPECT_EQ(String().Size(), 0u);
}

// What is left of a String moved from is usable: an empty String.
TEST(String, AStringMovedFromIsEmpty) {
    String from("text");
    String to = std::move(from);
    EXPECT_EQ(to.Bytes(), "text");
    EXPECT_TRUE(from.IsEmpty());
    String assigned;
    assigned = std::move(to);
    EXPECT_EQ(assigned.Bytes(), "text");
    EXPECT_EQ(to.View(), "");
}
