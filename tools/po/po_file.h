#pragma once
// Gettext PO files (translations, and the templates they start from) read
// and written without any system call, so that every build reads a file
// alike. The reader takes the whole syntax gettext's msgfmt takes: comments
// of each kind, flags, msgctxt, strings continued over lines, every escape,
// obsolete `#~` entries. It refuses what msgfmt refuses, and further what
// no installer text can use: plural forms, a charset other than UTF-8, a
// NUL character and hex escapes of more than two digits (msgfmt keeps only
// their last byte).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/format_error.h"

namespace po {

struct Entry {
    std::vector<std::string> comments;   // "# ", the translator's
    std::vector<std::string> extracted;  // "#.", for the translator from the tool
    std::vector<std::string> references; // "#:"
    std::vector<std::string> flags;      // "#,", each flag alone
    std::optional<std::string> context;  // msgctxt
    std::string id;                      // msgid
    std::string str;                     // msgstr; empty: not translated
    bool obsolete = false;               // "#~": kept for reference only
    size_t line = 0;                     // of msgid, from 1 (read entries only)

    bool fuzzy() const;
    // A translation to use: neither empty, fuzzy, obsolete nor the header.
    bool translated() const;
    bool isHeader() const { return !context && id.empty() && !obsolete; }
};

// A failure naming the line (from 1) where the file stops being well formed.
class PoError : public common::FormatError {
  public:
    PoError(size_t line, const std::string& reason)
        : common::FormatError("line " + std::to_string(line) + ": " + reason), line_(line) {}
    size_t line() const { return line_; }

  private:
    size_t line_;
};

// Every entry of `text`, header first when there is one, in file order.
// Strings come out unescaped, UTF-8. Throws PoError for text that is no
// well-formed UTF-8 PO file, a second entry of one context and msgid, and a
// translation whose first or last line break disagrees with its msgid's.
std::vector<Entry> readPo(std::string_view text);

// The file of `entries`, which msgfmt takes and readPo reads back equal
// (but for lines). Strings are split after each line break; comments and
// flags come before the keywords in gettext's order.
std::string writePo(const std::vector<Entry>& entries);

// `text` as a PO string literal, quotes included.
std::string quote(std::string_view text);

} // namespace po
