#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "regex/RegEx.h"
#include "regex/RegExMatch.h"
#include "regex/RegExPlugin.h"
#include "runtime/Plugins.h"
#include "shell/PluginEntrypointNames.h"
#include "shell/Startup.h"

using namespace std::string_literals;

TEST(RegEx, WithoutThePluginItsMembersHaveNoCode) {
    EXPECT_THROW(RegEx(), UnsupportedOperationException);
}

TEST(RegEx, EveryMemberThePluginPublishesHasASlotInTheEntryTable) {
    for (const auto& [name, code] : RegExPlugin().entrypoints)
        EXPECT_NE(std::find(kPluginEntrypointNames.begin(), kPluginEntrypointNames.end(), name),
                  kPluginEntrypointNames.end())
            << name;
}

TEST(RegEx, SearchGivesTheFirstMatchInTheWholeTargetAsBytes) {
    LoadFrameworkPlugins();
    struct Case {
        const char* pattern;
        std::string target;
        std::optional<std::string> whole;  // nothing: no match
        int64_t start;
        std::string group1;  // for a pattern with a group
        int64_t group1Start;
    };
    const Case cases[] = {
        {R"(\\margl(\d*))", "x\\margl1440\\margl720", "\\margl1440", 1, "1440", 7},
        {R"(\\margl(\d*))", "\\margl \\margl5", "\\margl", 0, "", 6},  // an empty group still took part
        {R"(\\margl(\d*))", "\\MARGL5", std::nullopt, 0, "", 0},       // letter case counts
        {R"(\\margl(\d*))", "\0\xFF\xC3(\\margl9\0"s, "\\margl9", 4, "9", 10},
        {R"(b(x)?)", "ab", "b", 1, "", -1},  // a group that took no part
        {"\xC3\xA0", "\xC3\xA0", "\xC3\xA0", 0, "", -1},
        {R"({\\fonttbl\\)", "{\\rtf1{\\fonttbl\\f0 Times;}}", "{\\fonttbl\\", 6, "", -1},
    };
    for (const Case& c : cases) {
        RegEx regex;
        regex.SetSearchPattern(c.pattern);
        EXPECT_EQ(regex.SearchPattern().Bytes(), c.pattern);
        const Ref<RegExMatch> match = regex.Search(c.target);
        ASSERT_EQ(match != nullptr, c.whole.has_value()) << c.pattern << " in " << c.target;
        if (!match) continue;
        EXPECT_EQ(match->SubExpressionString(0).Bytes(), *c.whole);
        EXPECT_EQ(match->SubExpressionStartB(0), c.start);
        if (std::string_view(c.pattern).find('(') != std::string_view::npos) {
            EXPECT_EQ(match->SubExpressionString(1).Bytes(), c.group1) << c.pattern;
            EXPECT_EQ(match->SubExpressionStartB(1), c.group1Start) << c.pattern;
        }
    }
}

TEST(RegEx, AMatchOutlivesItsSearchAndItsTarget) {
    LoadFrameworkPlugins();
    Ref<RegExMatch> match;
    {
        RegEx regex;
        regex.SetSearchPattern(R"(\\margr(\d*))");
        String target(std::string("{\\margr1800 ") + std::string(1000, 'x'));
        match = regex.Search(target);
    }
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->SubExpressionString(1).Bytes(), "1800");
    EXPECT_THROW(match->SubExpressionString(2), OutOfBoundsException);
    EXPECT_THROW(match->SubExpressionStartB(-1), OutOfBoundsException);
}

TEST(RegEx, ABadPatternIsRefusedWithItsPlaceAndTheReplacementIsKeptAsGiven) {
    LoadFrameworkPlugins();
    RegEx regex;
    EXPECT_THROW(regex.Search("text"), RegExException);  // no pattern yet
    regex.SetSearchPattern("a");
    try {
        regex.SetSearchPattern("ab(c");
        FAIL() << "the pattern compiled";
    } catch (const RegExException& failure) {
        EXPECT_NE(std::string(failure.what()).find("at byte 4"), std::string::npos) << failure.what();
    }
    EXPECT_EQ(regex.SearchPattern().Bytes(), "a");  // the last good pattern stays
    EXPECT_NE(regex.Search("xa"), nullptr);

    EXPECT_EQ(regex.ReplacementPattern().Bytes(), "");
    regex.SetReplacementPattern("!:\xC3\xA0&#|#&:! \\1 $0");
    EXPECT_EQ(regex.ReplacementPattern().Bytes(), "!:\xC3\xA0&#|#&:! \\1 $0");
}
