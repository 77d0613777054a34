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
const char* const kNames[4] = {"margl", "margr", "margt", "margb"};

// The letters of a word anywhere in the bytes, where no letter follows them, so that longer
// control words (the section margins \marglsxn, ...) are never taken for it. A search that finds
// none tells the reading below that it need not look further for that word.
std::string Pattern(const char* name) { return std::string(R"(\\)") + name + R"((?![A-Za-z])(-?\d*))"; }

constexpr std::string_view kFontTable = "{\\fonttbl\\";
const char* const kFontTablePattern = R"({\\fonttbl\\)";

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

// One forward reading of the text, token by token, as a Rich Text reader takes it: groups, the
// escaped characters and other control symbols, control words with their values and their one
// delimiting blank, and the raw bytes of \binN, whatever they hold. Nothing in a group that
// begins with \* or a destination word is applied to the page. It notes the first of each
// margin word and the first font table that stand where they would be applied.
class Reading {
public:
    // What stands right before a margin word: one of the words found, or another token.
    static constexpr int kControlWord = -1;  // a control word without a delimiting blank
    static constexpr int kOther = -2;

    struct Word {
        size_t at, length;       // the backslash, and up to the end of the value
        std::string_view value;  // the minus sign and the digits
        bool blank;              // a delimiting blank follows
        int after;               // the word found that stands right before it, kControlWord or kOther
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
    void ControlWord(int after);

    std::string_view text_;
    size_t at_ = 0;
    size_t depth_ = 0;         // the groups open
    bool groupStart_ = false;  // nothing but blanks, line ends and margin words since the last brace
    bool skipping_ = false;    // inside a destination, which began in the group at depth skipDepth_
    size_t skipDepth_ = 0;
    int last_ = kOther;  // the token read last, as Word::after tells it
};

void Reading::Step() {
    const int before = last_;
    last_ = kOther;
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
        if (at_ + 1 < text_.size() && IsLetter(text_[at_ + 1])) return ControlWord(before);
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

void Reading::ControlWord(int after) {
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
    last_ = blank ? kOther : kControlWord;
    if (name == "bin") {
        // Readers differ on a \bin without a positive N (LibreOffice takes the token after it for
        // its data), so nothing after it in its group counts.
        const size_t length = BinaryLength(value, text_.size() - at_);
        if (length == 0) Skip();
        else last_ = kOther;
        at_ += length;
        groupStart_ = false;
        return;
    }
    // A margin word leaves a group's start as it is, so that neither deleting one nor writing the
    // four makes a destination of a group that was none, or the other way round.
    for (int margin = 0; margin < 4; ++margin) {
        if (name != kNames[margin]) continue;
        if (!skipping_ && !words[margin]) {
            words[margin] = Word{word, end - word, value, blank, after};
            last_ = margin;
        }
        return;
    }
    if (groupStart_ && MarginText::IsDestination(name)) Skip();
    groupStart_ = false;
}

struct Edit {
    size_t at;
    size_t length;
    int word;  // the margin word, or -1 for the marker in front of the font table
};

// Whether the text ends in a control word (a backslash that is not itself escaped, letters, and
// an optional signed number), which would run into whatever comes to follow it.
bool EndsInControlWord(std::string_view text) {
    size_t at = text.size();
    while (at > 0 && IsDigit(text[at - 1])) --at;
    if (at > 0 && text[at - 1] == '-') --at;
    const size_t lettersEnd = at;
    while (at > 0 && IsLetter(text[at - 1])) --at;
    if (at == lettersEnd || at == 0 || text[at - 1] != '\\') return false;
    size_t backslashes = 0;
    while (at > 0 && text[at - 1] == '\\') --at, ++backslashes;
    return backslashes % 2 == 1;
}


// Whether the control word that ends `text` would take `next` as part of itself: letters take
// more letters, a minus sign or digits; a minus sign or digits take more digits.
bool RunsInto(std::string_view text, char next) {
    if (text.empty() || !EndsInControlWord(text)) return false;
    if (IsLetter(text.back())) return IsLetter(next) || IsDigit(next) || next == '-';
    return IsDigit(next);
}
}  // namespace

bool MarginText::IsDestination(std::string_view word) {
    return std::binary_search(std::begin(kDestinations), std::end(kDestinations), word);
}

MarginText MarginText::Mark(String document) {
    MarginText result;
    RegEx regex;
    bool present[4];
    for (size_t word = 0; word < 4; ++word) {
        regex.SetSearchPattern(Pattern(kNames[word]));
        present[word] = regex.Search(document) != nullptr;
    }
    Reading reading(document.View());
    const auto pending = [&] {
        for (size_t word = 0; word < 4; ++word)
            if (present[word] && !reading.words[word]) return true;
        return false;
    };
    while (!reading.AtEnd() && pending()) reading.Step();

    std::vector<Edit> edits;
    int marked = -1;
    for (int word = 0; word < 4; ++word) {
        if (!reading.words[word]) continue;
        result.values[word] = String(reading.words[word]->value);
        edits.push_back({reading.words[word]->at, reading.words[word]->length, word});
        if (marked < 0) marked = word;
    }
    if (edits.empty()) {
        regex.SetSearchPattern(kFontTablePattern);
        if (regex.Search(document))
            while (!reading.AtEnd() && !reading.fontTable) reading.Step();
        if (reading.fontTable) edits.push_back({*reading.fontTable, 0, -1});
    }
    if (edits.empty()) {
        result.text = std::move(document);
        return result;
    }

    // A deleted word takes its delimiting blank with it. When a control word (or the marker,
    // which becomes one) then stands right before a letter, a digit, a hyphen or a blank, one
    // blank goes back so that the two do not run together.
    bool blankBack[4] = {};
    const auto endsInControlWord = [&](int after) {
        for (; after >= 0 && after != marked; after = reading.words[after]->after)
            if (blankBack[after]) return false;
        return after == Reading::kControlWord || (after == marked && !reading.words[marked]->blank);
    };

    // The edits go into the document's own bytes, in the order of the text. Until the words
    // after it are gone, the marker's place keeps the length of its word, so that the text does
    // not grow before it shrinks.
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    std::string text = document.TakeBytes();
    size_t removed = 0, markerLength = 0;
    for (const Edit& edit : edits) {
        const size_t at = edit.at - removed;
        if (edit.word == marked) {
            result.marker = at;
            markerLength = edit.length;
            continue;
        }
        const Reading::Word& word = *reading.words[edit.word];
        const size_t length = edit.length + (word.blank ? 1 : 0);
        const std::string_view rest = std::string_view(text).substr(at + length);
        const bool takesBlank =
            !rest.empty() && (IsLetter(rest[0]) || IsDigit(rest[0]) || rest[0] == '-' || rest[0] == ' ');
        blankBack[edit.word] = takesBlank && endsInControlWord(word.after);
        text.replace(at, length, blankBack[edit.word] ? 1 : 0, ' ');
        removed += length - (blankBack[edit.word] ? 1 : 0);
    }
    text.replace(result.marker, markerLength, kMarker.View());
    result.text = String(std::move(text));
    return result;
}

String MarginText::Words(const String& left, const String& right, const String& top, const String& bottom) {
    const char* const names[4] = {"\\margl", "\\margr", "\\margt", "\\margb"};
    const String* const values[4] = {&left, &right, &top, &bottom};
    String words;
    for (size_t word = 0; word < 4; ++word) words = RuntimeAddString(RuntimeAddString(words, names[word]), *values[word]);
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
