#include "MarginText.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "files/TextOutputStream.h"
#include "regex/RegEx.h"
#include "regex/RegExMatch.h"
#include "runtime/RuntimeException.h"

const String MarginText::kMarker = "!:\xC3\xA0&#|#&:!";

namespace {
constexpr std::string_view kWords[4] = {"\\margl", "\\margr", "\\margt", "\\margb"};
constexpr std::string_view kFontTable = "{\\fonttbl\\";

// The destinations that Rich Text Format 1.9.1 lists: groups whose content a reader takes as
// something other than the document's own formatting, or skips.
constexpr std::string_view kDestinations[] = {
    "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atndate", "atnicn", "atnid", "atnparent", "atnref",
    "atntime", "atrfend", "atrfstart", "author", "background", "bkmkend", "bkmkstart", "blipuid", "buptim",
    "category", "colorschememapping", "colortbl", "comment", "company", "creatim", "datafield", "datastore",
    "defchp", "defpap", "do", "doccomm", "docvar", "dptxbxtext", "ebcend", "ebcstart", "factoidname", "falt",
    "fchars", "ffdeftext", "ffentrymcr", "ffexitmcr", "ffformat", "ffhelptext", "ffl", "ffname", "ffstattext",
    "field", "file", "filetbl", "fldinst", "fldrslt", "fldtype", "fname", "fontemb", "fontfile", "fonttbl",
    "footer", "footerf", "footerl", "footerr", "footnote", "formfield", "ftncn", "ftnsep", "ftnsepc", "g",
    "generator", "gridtbl", "header", "headerf", "headerl", "headerr", "hl", "hlfr", "hlinkbase", "hlloc", "hlsrc",
    "hsv", "htmltag", "info", "keycode", "keywords", "latentstyles", "lchars", "levelnumbers", "leveltext",
    "lfolevel", "linkval", "list", "listlevel", "listname", "listoverride", "listoverridetable", "listpicture",
    "liststylename", "listtable", "listtext", "lsdlockedexcept", "macc", "maccPr", "mailmerge", "maln", "malnScr",
    "manager", "margPr", "mbar", "mbarPr", "mbaseJc", "mbegChr", "mborderBox", "mborderBoxPr", "mbox", "mboxPr",
    "mchr", "mcount", "mctrlPr", "md", "mdPr", "mdeg", "mdegHide", "mden", "mdiff", "me", "mendChr", "meqArr",
    "meqArrPr", "mf", "mfName", "mfPr", "mfunc", "mfuncPr", "mgroupChr", "mgroupChrPr", "mgrow", "mhideBot",
    "mhideLeft", "mhideRight", "mhideTop", "mhtmltag", "mlim", "mlimloc", "mlimlow", "mlimlowPr", "mlimupp",
    "mlimuppPr", "mm", "mmPr", "mmaddfieldname", "mmath", "mmathPict", "mmathPr", "mmaxdist", "mmc", "mmcJc",
    "mmcPr", "mmconnectstr", "mmconnectstrdata", "mmcs", "mmdatasource", "mmheadersource", "mmmailsubject",
    "mmodso", "mmodsofilter", "mmodsofldmpdata", "mmodsomappedname", "mmodsoname", "mmodsorecipdata", "mmodsosort",
    "mmodsosrc", "mmodsotable", "mmodsoudl", "mmodsoudldata", "mmodsouniquetag", "mmquery", "mmr", "mnary",
    "mnaryPr", "mnoBreak", "mnum", "moMath", "moMathPara", "moMathParaPr", "mobjDist", "mopEmu", "mphant",
    "mphantPr", "mplcHide", "mpos", "mr", "mrPr", "mrad", "mradPr", "msPre", "msPrePr", "msSub", "msSubPr",
    "msSubSup", "msSubSupPr", "msSup", "msSupPr", "msepChr", "mshow", "mshp", "mstrikeBLTR", "mstrikeH",
    "mstrikeTLBR", "mstrikeV", "msub", "msubHide", "msup", "msupHide", "mtransp", "mtype", "mvertJc", "mvfmf",
    "mvfml", "mvtof", "mvtol", "mzeroAsc", "mzeroDesc", "mzeroWid", "nesttableprops", "nextfile", "nonesttables",
    "nonshppict", "objalias", "objclass", "objdata", "object", "objname", "objsect", "objtime", "oldcprops",
    "oldpprops", "oldsprops", "oldtprops", "oleclsid", "operator", "panose", "password", "passwordhash", "pgp",
    "pgptbl", "picprop", "pict", "pn", "pnseclvl", "pntext", "pntxta", "pntxtb", "printim", "private", "propname",
    "protend", "protstart", "protusertbl", "pxe", "result", "revtbl", "revtim", "rsidtbl", "rxe", "shp", "shpgrp",
    "shpinst", "shppict", "shprslt", "shptxt", "sn", "sp", "staticval", "stylesheet", "subject", "sv", "svb", "tc",
    "template", "themedata", "title", "txe", "ud", "upr", "userprops", "wgrffmtfilter", "windowcaption",
    "writereservation", "writereservhash", "xe", "xform", "xmlattrname", "xmlattrvalue", "xmlclose", "xmlname",
    "xmlnstbl", "xmlopen",
};
static_assert(std::is_sorted(std::begin(kDestinations), std::end(kDestinations)));

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number of raw bytes that \binN announces, at most `most`; none for a missing, zero or
// negative N.
size_t BinaryLength(std::string_view value, size_t most) {
    size_t length = 0;
    for (const char digit : value) {
        if (!IsDigit(digit)) return 0;
        length = std::min(most, length * 10 + static_cast<size_t>(digit - '0'));
    }
    return length;
}

// A pattern that matches the bytes themselves: a backslash makes any byte but a letter or a digit
// stand for itself.
std::string Literal(std::string_view bytes) {
    std::string pattern;
    for (const char c : bytes) {
        if (!IsLetter(c) && !IsDigit(c)) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// Whether a match of the pattern stands anywhere in the bytes. A search that finds none tells the
// reading that it need not look further for what the pattern stands for.
bool Holds(RegEx& regex, const std::string& pattern, const String& bytes) {
    regex.SetSearchPattern(pattern);
    return regex.Search(bytes) != nullptr;
}

// No letter may follow a margin word's letters, so that longer control words (the section
// margins \marglsxn, ...) are never taken for it.
std::string WordPattern(std::string_view word) { return Literal(word) + "(?![A-Za-z])"; }

// One forward reading of the text, token by token, as a Rich Text reader takes it: groups, the
// escaped characters and other control symbols, control words with their values and their one
// delimiting blank, and the raw bytes of \binN, whatever they hold. Nothing in a group that
// begins with \* or a destination word is applied to the page. It notes the first of each
// margin word and the first font table that stand where they would be applied.
class Reading {
public:
    struct Word {
        size_t at, length;       // the backslash, and up to the end of the value
        std::string_view value;  // the minus sign and the digits
        bool blank;              // a delimiting blank follows
        bool afterControlWord;   // right after a control word that no blank delimits
        size_t End() const { return at + length + (blank ? 1 : 0); }
    };

    explicit Reading(std::string_view text) : text_(text) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    void Step();

    std::optional<Word> words[4];
    std::optional<size_t> fontTable;

private:
    void Skip() {
        if (!skipping_) skipping_ = true, skipDepth_ = depth_;
    }
    void ControlWord(bool afterControlWord);

    std::string_view text_;
    size_t at_ = 0;
    size_t depth_ = 0;         // the groups open
    bool groupStart_ = false;  // nothing but blanks, line ends and margin words since the last brace
    bool skipping_ = false;    // inside a destination, which began in the group at depth skipDepth_
    size_t skipDepth_ = 0;
    bool undelimited_ = false;  // the token read last is a control word that no blank delimits
};

void Reading::Step() {
    const bool afterControlWord = undelimited_;
    undelimited_ = false;
    switch (text_[at_]) {
    case '{':
        if (!skipping_ && !fontTable && text_.substr(at_, kFontTable.size()) == kFontTable) fontTable = at_;
        ++depth_, ++at_;
        groupStart_ = true;
        return;
    case '}':
        if (depth_ > 0) --depth_;  // a brace that closes no group is ignored
        if (skipping_ && depth_ < skipDepth_) skipping_ = false;
        ++at_;
        groupStart_ = false;
        return;
    case '\\':
        if (at_ + 1 < text_.size() && IsLetter(text_[at_ + 1])) return ControlWord(afterControlWord);
        if (groupStart_ && at_ + 1 < text_.size() && text_[at_ + 1] == '*') Skip();
        else groupStart_ = false;
        at_ += 2;  // a control symbol: \\, \{, \}, \', \~, ...
        return;
    case ' ':
    case '\r':
    case '\n':
        ++at_;
        return;
    default:
        while (at_ < text_.size() && text_[at_] != '\\' && text_[at_] != '{' && text_[at_] != '}') ++at_;
        groupStart_ = false;
    }
}

void Reading::ControlWord(bool afterControlWord) {
    const size_t word = at_;
    size_t end = at_ + 1;
    while (end < text_.size() && IsLetter(text_[end])) ++end;
    const std::string_view name = text_.substr(word + 1, end - word - 1);
    const size_t valueAt = end;
    if (end < text_.size() && text_[end] == '-') ++end;
    while (end < text_.size() && IsDigit(text_[end])) ++end;
    const std::string_view value = text_.substr(valueAt, end - valueAt);
    at_ = end < text_.size() && text_[end] == ' ' ? end + 1 : end;

    const bool blank = at_ > end;
    undelimited_ = !blank;
    if (name == "bin") {
        // Readers differ on a \bin without a positive N (LibreOffice takes the token after it for
        // its data), so nothing after it in its group counts.
        const size_t length = BinaryLength(value, text_.size() - at_);
        if (length == 0) Skip();
        else undelimited_ = false;
        at_ += length;
        groupStart_ = false;
        return;
    }
    // A margin word leaves a group's start as it is, so that neither deleting one nor writing the
    // four makes a destination of a group that was none, or the other way round.
    for (int margin = 0; margin < 4; ++margin) {
        if (name != kWords[margin].substr(1)) continue;
        if (!skipping_ && !words[margin]) words[margin] = Word{word, end - word, value, blank, afterControlWord};
        return;
    }
    if (groupStart_ && MarginText::IsDestination(name)) Skip();
    groupStart_ = false;
}

// Puts the marker in place of the first of the words in their own order and deletes the others,
// each with its delimiting blank, going through them in the order of the text; returns where the
// marker stands. Where a control word would then run into a letter, a digit, a hyphen or a
// blank, one blank stays; the marker counts as one, as the words written in its place end in one.
size_t MarkTheWords(std::string& text, const std::optional<Reading::Word> (&words)[4]) {
    std::vector<const Reading::Word*> inText;
    for (const auto& word : words)
        if (word) inText.push_back(&*word);
    const Reading::Word* const marked = inText.front();
    std::sort(inText.begin(), inText.end(), [](const auto* a, const auto* b) { return a->at < b->at; });

    // Until the words after it are gone, the marker's place keeps the length of its word, so that
    // the text does not grow before it shrinks.
    size_t removed = 0, marker = 0;
    bool undelimited = false;  // a control word that no blank delimits stands right before the point
    size_t previousEnd = std::string::npos;
    for (const Reading::Word* word : inText) {
        // What stands before a word is the text's own, unless it is the word before, as changed.
        if (word->at != previousEnd) undelimited = word->afterControlWord;
        previousEnd = word->End();
        const size_t at = word->at - removed;
        if (word == marked) {
            marker = at;
            undelimited = !word->blank;
            continue;
        }
        const size_t length = word->End() - word->at;
        const size_t next = at + length;
        const bool blankStays = undelimited && next < text.size() &&
                                (IsLetter(text[next]) || IsDigit(text[next]) || text[next] == '-' || text[next] == ' ');
        text.replace(at, length, blankStays ? 1 : 0, ' ');
        removed += length - (blankStays ? 1 : 0);
        if (blankStays) undelimited = false;
    }
    text.replace(marker, marked->length, MarginText::kMarker.View());
    return marker;
}

// Whether the last of the words, the bottom margin's, would take `next` as part of itself:
// without a value it takes letters, digits and a minus sign; with a value that a reader takes
// whole (a minus sign, digits or both) it takes more digits.
bool RunsInto(std::string_view words, char next) {
    const size_t last = words.rfind(kWords[3]);
    if (last == std::string_view::npos) return false;
    const std::string_view bottom = words.substr(last + kWords[3].size());
    if (bottom.empty()) return IsLetter(next) || IsDigit(next) || next == '-';
    const size_t digits = bottom.front() == '-' ? 1 : 0;
    return IsDigit(next) && std::all_of(bottom.begin() + digits, bottom.end(), IsDigit);
}
}  // namespace

bool MarginText::IsDestination(std::string_view word) {
    return std::binary_search(std::begin(kDestinations), std::end(kDestinations), word);
}

MarginText MarginText::Mark(String document) {
    RegEx regex;
    bool present[4];
    for (size_t margin = 0; margin < 4; ++margin)
        present[margin] = Holds(regex, WordPattern(kWords[margin]), document);
    Reading reading(document.View());
    const auto pending = [&] {
        for (size_t margin = 0; margin < 4; ++margin)
            if (present[margin] && !reading.words[margin]) return true;
        return false;
    };
    while (!reading.AtEnd() && pending()) reading.Step();

    // Without a margin word the marker goes in front of the font table, if there is one.
    MarginText result;
    if (std::none_of(std::begin(reading.words), std::end(reading.words), [](const auto& word) { return word; })) {
        if (Holds(regex, Literal(kFontTable), document))
            while (!reading.AtEnd() && !reading.fontTable) reading.Step();
        if (!reading.fontTable) {
            result.text = std::move(document);
            return result;
        }
        result.marker = *reading.fontTable;
        std::string text = document.TakeBytes();
        text.insert(result.marker, kMarker.View());
        result.text = String(std::move(text));
        return result;
    }

    for (size_t margin = 0; margin < 4; ++margin)
        if (reading.words[margin]) result.values[margin] = String(reading.words[margin]->value);
    std::string text = document.TakeBytes();
    result.marker = MarkTheWords(text, reading.words);
    result.text = String(std::move(text));
    return result;
}

String MarginText::Words(const String& left, const String& right, const String& top, const String& bottom) {
    const String* const values[4] = {&left, &right, &top, &bottom};
    String words;
    for (size_t word = 0; word < 4; ++word)
        words = RuntimeAddString(RuntimeAddString(words, String(kWords[word])), *values[word]);
    return words;
}

void MarginText::Write(TextOutputStream& stream, const String& marked, size_t marker, const String& words) {
    Write([&stream](std::string_view bytes) { stream.Write(bytes); }, marked, marker, words);
}

void MarginText::Write(const std::function<void(std::string_view)>& out, const String& marked, size_t marker,
                       const String& words) {
    const std::string_view bytes = marked.View();
    if (marker > bytes.size() || bytes.substr(marker, kMarker.Size()) != kMarker.View())
        throw OutOfBoundsException("the text holds no marker at byte " + std::to_string(marker));
    const std::string_view rest = bytes.substr(marker + kMarker.Size());
    out(bytes.substr(0, marker));
    out(words.View());
    // The marked word ended where its value did; the last word, with the value it has now, may
    // not, and a blank keeps it from running into the text.
    if (!rest.empty() && RunsInto(words.View(), rest.front())) out(" ");
    out(rest);
}
