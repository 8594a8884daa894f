#pragma once
// The texts of an installer package that a user sees, as gettext entries for
// translators, and a translation's entries put back into the package's
// cells. No system call: the databases come in already read.
//
// An entry's context names its cell: "Table.Column|key1|key2...", the
// keys' values as text (integers in decimal), `|` and `\` inside a key
// written `\|` and `\\`. Its msgid is the cell's text, UTF-8.
#include <cstdint>
#include <string>
#include <vector>

#include "common/format_error.h"
#include "msi_database/database.h"
#include "po/po_file.h"

namespace msi_texts {

// The entries of every text of `base` a user sees: the cells of columns
// marked localizable in the schema, and of the standard tables' text columns
// where a package does not mark them (dialog and control texts, UI and
// action texts, error messages, features, shortcuts, launch conditions,
// services), and the Property values a user sees. Empty cells, texts that
// are only formatting (`[ProductName]`, `{\DlgFont8}`), file names and
// identifiers are left out, as are the texts of bitmap and icon controls.
// Tables come in name order, rows in their keys' order, columns in column
// order. With `localized`, each msgstr is the text of the same cell there,
// where the localized package has that cell. The first entry is the header:
// the product's name and version, UTF-8.
std::vector<po::Entry> exportTexts(const msi_database::Database& base,
                                   const msi_database::Database* localized = nullptr);

// A translation that cannot go into the package; the text names the line
// of the PO file and why.
class TranslationError : public common::FormatError {
  public:
    using common::FormatError::FormatError;
};

// Sets every cell that a translated entry names to its msgstr (entries that
// are empty, fuzzy or obsolete change nothing), ProductLanguage to `lcid`,
// and the string pool's code page, where the package has none, to the
// language's ANSI code page. Throws TranslationError for a context that names
// no text of the package, a msgid that is no longer the cell's text, a
// msgstr whose `[...]` placeholders or leading `{\Style}` differ from the
// msgid's, a msgstr the code page cannot hold, and an entry without a
// context (one not made by exportTexts).
void translate(msi_database::Database& database, const std::vector<po::Entry>& entries,
               uint32_t lcid);

} // namespace msi_texts
