#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/String.h"

class TextOutputStream;

// The four page-margin control words of a Rich Text document (\margl, \margr, \margt, \margb,
// always in this order), found and marked in the document's bytes, and written back at the
// mark. It needs no window, only the regular-expression plug-in loaded.
class MarginText {
public:
    static const String kMarker;  // "!:à&#|#&:!", 11 bytes of UTF-8

    // Finds the first of each word that stands where a Rich Text reader applies it to the page,
    // with its value (an optional minus sign and the digits): not in the raw bytes of \binN,
    // not as text after an escaped backslash, and not inside a destination group (one that
    // begins with \* or with a word such as \info, \fonttbl or \pict). The first word found
    // in the order above gives way to the marker; each word found after it is deleted with the
    // blank that delimits it, and one blank stays where a control word would otherwise run into
    // the text. When the document has none of the words, the marker goes in front of its first
    // "{\fonttbl\" that stands where such a word would count; a font table that opens with a
    // braced entry, "{\fonttbl{", takes none, and the document is left unmarked.
    // The text is marked in the document's own bytes when nothing else shares them.
    // UnsupportedOperationException when the regular-expression plug-in is not loaded;
    // RegExException when a search fails.
    static MarginText Mark(String document);

    // Whether a control word (its letters, without the backslash) is one that Rich Text Format
    // 1.9.1 lists as a destination, whose content is not applied to the page.
    static bool IsDestination(std::string_view word);

    // The four words with their values, joined: "\margl", left, "\margr", right, ...
    static String Words(const String& left, const String& right, const String& top, const String& bottom);

    // Writes the marked text with the words in place of the marker that stands at `marker`:
    // the text goes out in pieces around it, not as another copy, with a blank after the words
    // where the last of them would otherwise run into the text. OutOfBoundsException, before
    // anything is written, when no marker stands there.
    static void Write(TextOutputStream& stream, const String& marked, size_t marker, const String& words);
    static void Write(const std::function<void(std::string_view)>& out, const String& marked, size_t marker,
                      const String& words);

    std::array<std::optional<String>, 4> values;  // nothing for a word the document lacks
    String text;                                  // the marked text; the document itself when unmarked
    size_t marker = std::string::npos;            // where the marker stands; npos when no place was found
};
