#include <gtest/gtest.h>

#include <array>
#include <span>

#include "runtime/RuntimeException.h"
#include "shell/Startup.h"
#include "window/MarginText.h"

using namespace std::string_literals;

namespace {
// "<M>" in an expected text stands for the marker that the reader placed.
std::string WithMarker(std::string text) {
    const size_t at = text.find("<M>");
    if (at != std::string::npos) text.replace(at, 3, MarginText::kMarker.Bytes());
    return text;
}

std::string Shown(const std::optional<String>& value) { return value ? value->Bytes() : "(none)"; }

struct MarkCase {
    const char* name;
    std::string document;
    std::array<const char*, 4> values;  // left, right, top, bottom; nullptr: not in the document
    std::string marked;                 // the document itself when no place is found
};

void ExpectMarks(std::span<const MarkCase> cases) {
    LoadFrameworkPlugins();
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(c.name);
        const MarginText marks = MarginText::Mark(String(c.document));
        for (size_t word = 0; word < 4; ++word)
            EXPECT_EQ(Shown(marks.values[word]), c.values[word] ? c.values[word] : "(none)") << "word " << word;
        EXPECT_EQ(marks.text.Bytes(), WithMarker(c.marked));
        EXPECT_EQ(marks.marker, c.marked.find("<M>"));
    }
}
}  // namespace

TEST(MarginText, FindsTheFourWordsMarksTheFirstAndDeletesTheOthers) {
    const MarkCase cases[] = {
        {"left and right only", "{\\rtf1\\paperw11900\\margl1800\\margr1200\\vieww9000 Hi}",
         {"1800", "1200", nullptr, nullptr}, "{\\rtf1\\paperw11900<M>\\vieww9000 Hi}"},
        {"bottom before left", "{\\rtf1\\margb720\\pard\\margl1440 Hi}", {"1440", nullptr, nullptr, "720"},
         "{\\rtf1\\pard<M> Hi}"},
        {"top only", "{\\rtf1\\margt567\\pard x}", {nullptr, nullptr, "567", nullptr}, "{\\rtf1<M>\\pard x}"},
        {"all four side by side", "\\paperh15840\\margl1800\\margr1800\\margt1440\\margb1440\\gutter0 x",
         {"1800", "1800", "1440", "1440"}, "\\paperh15840<M>\\gutter0 x"},
        {"a doubled word", "\\margl10\\margl20 ", {"10", nullptr, nullptr, nullptr}, "<M>\\margl20 "},
        {"a word without digits keeps its blank behind the marker", "{\\margl \\margr5 x}",
         {"", "5", nullptr, nullptr}, "{<M> x}"},
        {"five digits", "\\margl123456 x", {"123456", nullptr, nullptr, nullptr}, "<M> x"},
        {"minus values", "\\margl-360\\margr-20\\margt0 x", {"-360", "-20", "0", nullptr}, "<M> x"},
        // An escaped backslash is text, and so are the letters after it.
        {"an escaped backslash before the letters", "{C:\\\\margl5 \\margr7 x}", {nullptr, "7", nullptr, nullptr},
         "{C:\\\\margl5 <M> x}"},
        {"a word after an escaped backslash", "{a\\\\\\margl5 x}", {"5", nullptr, nullptr, nullptr},
         "{a\\\\<M> x}"},
        {"letter case counts", "\\MARGL5\\margl6 x", {"6", nullptr, nullptr, nullptr}, "\\MARGL5<M> x"},
        {"a word at the very end", "x\\margr", {nullptr, "", nullptr, nullptr}, "x<M>"},
        // Longer control words are other words: they stay as they are.
        {"section margins before the document's own", "{\\marglsxn1800\\margrsxn900\\margl1440\\margr1440 x}",
         {"1440", "1440", nullptr, nullptr}, "{\\marglsxn1800\\margrsxn900<M> x}"},
        {"section margins only: the font table", "{\\rtf1{\\fonttbl\\f0 Times;}\\marglsxn1800 x}",
         {nullptr, nullptr, nullptr, nullptr}, "{\\rtf1<M>{\\fonttbl\\f0 Times;}\\marglsxn1800 x}"},
        // No margin word: the marker goes in front of the first font table of that form.
        {"a font table", "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}}", {nullptr, nullptr, nullptr, nullptr},
         "{\\rtf1\\ansi<M>{\\fonttbl\\f0\\fswiss Helvetica;}}"},
        {"a font table of braced entries", "{\\rtf1{\\fonttbl{\\f0 Times;}}}", {nullptr, nullptr, nullptr, nullptr},
         "{\\rtf1{\\fonttbl{\\f0 Times;}}}"},
        {"no word and no font table", "{\\rtf1 plain}", {nullptr, nullptr, nullptr, nullptr}, "{\\rtf1 plain}"},
        {"an empty document", "", {nullptr, nullptr, nullptr, nullptr}, ""},
        // A deleted word goes with the blank that delimits it; the text on either side closes up,
        // unless a control word before it would then run into the text after it.
        {"a deleted word's blank goes with it", "{\\margl1 abc\\margr2 def}", {"1", "2", nullptr, nullptr},
         "{<M> abcdef}"},
        {"a deleted word's blank at the end", "\\margl1 \\margr2 ", {"1", "2", nullptr, nullptr}, "<M> "},
        {"a control word before it keeps a delimiter", "{\\margl1 \\pard\\margr2 Hello}",
         {"1", "2", nullptr, nullptr}, "{<M> \\pard Hello}"},
        {"a control word with a number keeps a delimiter", "{\\margl1 \\fs24\\margr2 12}",
         {"1", "2", nullptr, nullptr}, "{<M> \\fs24 12}"},
        {"the marker keeps a delimiter too", "{\\margl1\\margr2 Hello}", {"1", "2", nullptr, nullptr},
         "{<M> Hello}"},
        {"two blanks: the text's own stays", "{\\ansi\\margl1\\margr2  x}", {"1", "2", nullptr, nullptr},
         "{\\ansi<M>  x}"},
        {"an escaped backslash is text", "{\\margl1 a\\\\\\margr2 b}", {"1", "2", nullptr, nullptr},
         "{<M> a\\\\b}"},
        {"letters after an escaped backslash are text", "{\\margl1 \\\\ab\\margr2 cd}",
         {"1", "2", nullptr, nullptr}, "{<M> \\\\abcd}"},
        // Every other byte stays as it came.
        {"CR LF", "{\\rtf1\r\n\\margl1440\r\n\\margr1440\r\n\\pard x}", {"1440", "1440", nullptr, nullptr},
         "{\\rtf1\r\n<M>\r\n\r\n\\pard x}"},
        {"bytes that are not UTF-8", "\\'e9\xFF\xFE\\margl720 \xC3(\x80", {"720", nullptr, nullptr, nullptr},
         "\\'e9\xFF\xFE<M> \xC3(\x80"},
        {"NUL bytes", "a\0b\\margl5\0\\margr6 \0z"s, {"5", "6", nullptr, nullptr}, "a\0b<M>\0\0z"s},
        {"the marker's own text in the document", "!:\xC3\xA0&#|#&:!\\margl5 x", {"5", nullptr, nullptr, nullptr},
         "!:\xC3\xA0&#|#&:!<M> x"},
        {"the marker's text before a deleted word", "\\margl:\xC3\xA0&#|#&:!\\margr1a", {"", "1", nullptr, nullptr},
         "<M>:\xC3\xA0&#|#&:!a"},
    };
    ExpectMarks(cases);
}

// A word counts only where a Rich Text reader applies it to the page; LibreOffice shows its own
// defaults for the words that these documents hold in binary data or in destinations.
TEST(MarginText, AWordCountsOnlyWhereAReaderAppliesIt) {
    const std::string backslashes(20000, '\\');
    const MarkCase cases[] = {
        // \binN: N raw bytes after the word and its blank, whatever they hold.
        {"a word in binary data before the real one",
         "{\\rtf1{\\pict\\wmetafile8\\bin11 \\margr12Z}x}\\margl1440\\margr1800 x}",
         {"1440", "1800", nullptr, nullptr}, "{\\rtf1{\\pict\\wmetafile8\\bin11 \\margr12Z}x}<M> x}"},
        {"the only right margin in binary data", "{\\rtf1\\margl720 {\\pict\\bin7 \\margr5}x}",
         {"720", nullptr, nullptr, nullptr}, "{\\rtf1<M> {\\pict\\bin7 \\margr5}x}"},
        {"binary data outside a picture", "\\bin10 \\margl3000\\margr2100 x", {nullptr, "2100", nullptr, nullptr},
         "\\bin10 \\margl3000<M> x"},
        {"binary data without its blank", "{\\b\\bin6\\margr}\\margr7 x", {nullptr, "7", nullptr, nullptr},
         "{\\b\\bin6\\margr}<M> x"},
        {"more binary data than the text holds", "\\margr2{\\b\\bin99999999999999999999 x}\\margl3 y",
         {nullptr, "2", nullptr, nullptr}, "<M>{\\b\\bin99999999999999999999 x}\\margl3 y"},
        {"binary data like a control word before a deleted word", "\\bin1\\f\\margt3g\\margl",
         {"", nullptr, "3", nullptr}, "\\bin1\\fg<M>"},
        {"binary data at the very end", "\\margl1\\bin", {"1", nullptr, nullptr, nullptr}, "<M>\\bin"},
        // Without a positive N readers differ, and nothing after it in its group counts.
        {"a negative length", "{\\rtf1\\bin-5 \\margl3000\\margr2100 x}", {nullptr, nullptr, nullptr, nullptr},
         "{\\rtf1\\bin-5 \\margl3000\\margr2100 x}"},
        {"no length, in a group of its own", "{\\b\\bin \\margl3} \\margr2 x", {nullptr, "2", nullptr, nullptr},
         "{\\b\\bin \\margl3} <M> x"},
        // Destinations: a group that begins with \* or a destination word, to its end.
        {"a word in a group of \\*",
         "{\\rtf1{\\*\\generator Tool \\margl99;}\\margl1800\\margr1200\\margt10\\margb20 x}",
         {"1800", "1200", "10", "20"}, "{\\rtf1{\\*\\generator Tool \\margl99;}<M> x}"},
        {"\\* before the word itself", "{\\*\\margl5}\\margr2100 x", {nullptr, "2100", nullptr, nullptr},
         "{\\*\\margl5}<M> x"},
        {"\\* followed by blanks", "{\\*  \\margl3000}\\margr2100 x", {nullptr, "2100", nullptr, nullptr},
         "{\\*  \\margl3000}<M> x"},
        {"the document information", "{\\rtf1{\\info{\\title Set \\margl720 here}}\\margr2100 x}",
         {nullptr, "2100", nullptr, nullptr}, "{\\rtf1{\\info{\\title Set \\margl720 here}}<M> x}"},
        {"the style sheet", "{\\stylesheet{\\s0\\margl3000 Normal;}}\\margr2100 x",
         {nullptr, "2100", nullptr, nullptr},
         "{\\stylesheet{\\s0\\margl3000 Normal;}}<M> x"},
        {"the font table", "{\\rtf1{\\fonttbl\\f0\\margl3000 Times;}\\margr2100 x}",
         {nullptr, "2100", nullptr, nullptr},
         "{\\rtf1{\\fonttbl\\f0\\margl3000 Times;}<M> x}"},
        {"a header", "{\\header \\margl3000 x}\\margr2100 x", {nullptr, "2100", nullptr, nullptr},
         "{\\header \\margl3000 x}<M> x"},
        {"a destination word after blanks and line ends", "{ \r\n\\footnote\\margl1}\\margr2 x",
         {nullptr, "2", nullptr, nullptr}, "{ \r\n\\footnote\\margl1}<M> x"},
        // A destination word later in a group is taken as LibreOffice takes it: the rest of the
        // group still counts.
        {"a destination word after other text", "x \\{\\fonttbl\\margl1 y", {"1", nullptr, nullptr, nullptr},
         "x \\{\\fonttbl<M> y"},
        {"a field's instruction and its result",
         "{\\field{\\*\\fldinst \\margl1 PAGE}{\\fldrslt \\margl2 1}}\\margr2100 x",
         {nullptr, "2100", nullptr, nullptr},
         "{\\field{\\*\\fldinst \\margl1 PAGE}{\\fldrslt \\margl2 1}}<M> x"},
        {"a margin word before the destination word", "\\margl1 {\\margr5\\info \\margt7}",
         {"1", "5", nullptr, nullptr}, "<M> {\\info \\margt7}"},
        {"only destinations: no place", "{\\rtf1{\\*\\margl5}{\\info\\margr6}}", {nullptr, nullptr, nullptr, nullptr},
         "{\\rtf1{\\*\\margl5}{\\info\\margr6}}"},
        // Escapes and control symbols.
        {"20,000 backslashes before the letters", backslashes + "margl5 \\margl7 x", {"7", nullptr, nullptr, nullptr},
         backslashes + "margl5 <M> x"},
        {"20,001 backslashes before the letters", backslashes + "\\margl5 x", {"5", nullptr, nullptr, nullptr},
         backslashes + "<M> x"},
        {"a hex escape of a backslash", "\\'5c\\margl5 x", {"5", nullptr, nullptr, nullptr}, "\\'5c<M> x"},
        {"a hex escape without its digits", "\\'\\margl3 x", {"3", nullptr, nullptr, nullptr}, "\\'<M> x"},
        {"control symbols", "{\\~\\-\\_\\{\\margl5 x}", {"5", nullptr, nullptr, nullptr}, "{\\~\\-\\_\\{<M> x}"},
        {"braces that close no group", "{\\*\\x}}}\\margl5 x{{", {"5", nullptr, nullptr, nullptr}, "{\\*\\x}}}<M> x{{"},
        // The font table that takes the marker is the first that opens a group where a word counts.
        {"an escaped brace before the font table", "Literal \\{\\fonttbl\\f0 x;\\} ok {\\fonttbl\\f0 Times;}",
         {nullptr, nullptr, nullptr, nullptr}, "Literal \\{\\fonttbl\\f0 x;\\} ok <M>{\\fonttbl\\f0 Times;}"},
        {"a font table in binary data", "{\\rtf1{\\pict\\bin20 {\\fonttbl\\f0 Times;}}}",
         {nullptr, nullptr, nullptr, nullptr},
         "{\\rtf1{\\pict\\bin20 {\\fonttbl\\f0 Times;}}}"},
        {"a font table in a destination", "{\\rtf1{\\*\\x{\\fonttbl\\f0 a;}}{\\fonttbl\\f0 b;}}",
         {nullptr, nullptr, nullptr, nullptr}, "{\\rtf1{\\*\\x{\\fonttbl\\f0 a;}}<M>{\\fonttbl\\f0 b;}}"},
    };
    ExpectMarks(cases);
}

TEST(MarginText, AValueOfAnyLengthIsReadAndWrittenBackWhole) {
    LoadFrameworkPlugins();
    const std::string digits(100000, '7');
    const std::string document = "{\\rtf1\\margl" + digits + "\\margr1440\\margt1440\\margb1440 x}";
    const MarginText marks = MarginText::Mark(String(document));
    ASSERT_TRUE(marks.values[0]);
    EXPECT_EQ(marks.values[0]->Bytes(), digits);
    std::string written;
    MarginText::Write([&](std::string_view bytes) { written.append(bytes); }, marks.text, marks.marker,
                      MarginText::Words(*marks.values[0], "1440", "1440", "1440"));
    EXPECT_EQ(written, document);
}

// The reader marks the document's own bytes only when nothing else holds them.
TEST(MarginText, ADocumentThatIsSharedStaysAsItWas) {
    LoadFrameworkPlugins();
    const String document("{\\rtf1\\margl1800\\margr1200 x}");
    const MarginText marks = MarginText::Mark(document);
    EXPECT_EQ(document.Bytes(), "{\\rtf1\\margl1800\\margr1200 x}");
    EXPECT_EQ(marks.text.Bytes(), WithMarker("{\\rtf1<M> x}"));
}

TEST(MarginText, TheWordsGoTogetherInTheirOrderAsTheValuesAre) {
    EXPECT_EQ(MarginText::Words("1800", "1200", "1440", "1440").Bytes(), "\\margl1800\\margr1200\\margt1440\\margb1440");
    EXPECT_EQ(MarginText::Words("72", "-5", "", "").Bytes(), "\\margl72\\margr-5\\margt\\margb");
    // The marker is the text that App.myFileContent carries between reading and writing.
    EXPECT_EQ(MarginText::kMarker.Bytes(), reinterpret_cast<const char*>(u8"!:à&#|#&:!"));
}

TEST(MarginText, WritingPutsTheWordsAtTheMarkerAndKeepsTheLastFromRunningOn) {
    struct Case {
        const char* name;
        std::string marked;  // "<M>" stands for the marker
        std::array<const char*, 4> values;
        std::string written;  // empty: refused, nothing written
    };
    const Case cases[] = {
        {"in place of the marker", "{\\rtf1<M> x}", {"1800", "1200", "1440", "1440"},
         "{\\rtf1\\margl1800\\margr1200\\margt1440\\margb1440 x}"},
        {"a value that ends before a letter", "{<M>x}", {"1", "2", "3", "4"}, "{\\margl1\\margr2\\margt3\\margb4x}"},
        {"an empty last value before a letter", "{<M>x}", {"1", "2", "3", ""}, "{\\margl1\\margr2\\margt3\\margb x}"},
        {"an empty last value before a minus", "{<M>-3}", {"1", "2", "3", ""}, "{\\margl1\\margr2\\margt3\\margb -3}"},
        {"a minus before a digit", "{<M>5}", {"1", "2", "3", "-"}, "{\\margl1\\margr2\\margt3\\margb- 5}"},
        {"an empty last value before a blank", "{<M> x}", {"1", "2", "3", ""}, "{\\margl1\\margr2\\margt3\\margb x}"},
        {"at the very end", "x<M>", {"", "", "", ""}, "x\\margl\\margr\\margt\\margb"},
        {"no marker", "{\\rtf1 x}", {"1", "2", "3", "4"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t marker = c.marked.find("<M>");
        std::string written;
        const auto write = [&] {
            MarginText::Write([&](std::string_view bytes) { written.append(bytes); }, String(WithMarker(c.marked)),
                              marker, MarginText::Words(c.values[0], c.values[1], c.values[2], c.values[3]));
        };
        if (c.written.empty()) EXPECT_THROW(write(), OutOfBoundsException);
        else write();
        EXPECT_EQ(written, c.written);
    }
}
