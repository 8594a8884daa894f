#include "po/po_file.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/ascii.h"
#include "common/utf8.h"

namespace po {

bool Entry::fuzzy() const {
    return std::find(flags.begin(), flags.end(), "fuzzy") != flags.end();
}

bool Entry::translated() const {
    return !str.empty() && !fuzzy() && !obsolete && !isHeader();
}

namespace {

struct Token {
    enum Kind { Keyword, String, Comment } kind = Keyword;
    std::string text; // keyword's name, string unescaped, comment after `#`
    size_t line = 0;
    bool obsolete = false;
};

// The escapes of one letter and the characters they stand for.
const char escaped[] = "ntbrfva\\\"";
const char meant[] = "\n\t\b\r\f\v\a\\\"";
const size_t escapes = sizeof escaped - 1;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) {}

    std::vector<Token> tokens() {
        std::vector<Token> tokens;
        size_t start = 0;
        for (size_t number = 1; start <= text_.size(); ++number) {
            size_t end = text_.find('\n', start);
            if (end == std::string_view::npos)
                end = text_.size();
            line_ = number;
            std::string_view line = text_.substr(start, end - start);
            // A file written on Windows, or converted to it twice ("\r\r\n"):
            // a comment keeps no carriage return its writer cannot give back.
            while (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lineTokens(line, tokens);
            start = end + 1;
        }
        return tokens;
    }

  private:
    void lineTokens(std::string_view line, std::vector<Token>& tokens) {
        std::string bytes(line);
        std::u16string ignored;
        if (!common::utf8ToUtf16(bytes, ignored))
            throw PoError(line_, "is no well-formed UTF-8 (a PO file is read as UTF-8)");
        if (bytes.find('\0') != std::string::npos)
            throw PoError(line_, "holds a NUL character");
        size_t at = 0;
        while (at < line.size() && isBlank(line[at]))
            ++at;
        bool obsolete = false;
        if (line.compare(at, 2, "#~") == 0) {
            obsolete = true;
            at += 2;
            // "#~|": an obsolete entry's previous msgid, for reference only.
            if (at < line.size() && line[at] == '|')
                return;
        } else if (at < line.size() && line[at] == '#') {
            tokens.push_back({Token::Comment, std::string(line.substr(at + 1)), line_, false});
            return;
        }
        while (true) {
            while (at < line.size() && isBlank(line[at]))
                ++at;
            if (at == line.size())
                return;
            if (line[at] == '"') {
                tokens.push_back({Token::String, string(line, at), line_, obsolete});
            } else {
                size_t end = at;
                while (end < line.size() && !isBlank(line[end]) && line[end] != '"')
                    ++end;
                tokens.push_back(
                    {Token::Keyword, std::string(line.substr(at, end - at)), line_, obsolete});
                at = end;
            }
        }
    }

    // The string literal starting at `at` (its quote), unescaped; `at` is
    // left past its closing quote.
    std::string string(std::string_view line, size_t& at) {
        std::string text;
        for (++at;; ++at) {
            if (at == line.size())
                throw PoError(line_, "a string runs to the end of the line");
            char c = line[at];
            if (c == '"') {
                ++at;
                break;
            }
            if (c != '\\') {
                text += c;
                continue;
            }
            if (++at == line.size())
                throw PoError(line_, "a string runs to the end of the line");
            c = line[at];
            if (const char* found = std::char_traits<char>::find(escaped, escapes, c)) {
                text += meant[found - escaped];
            } else if (c >= '0' && c <= '7') {
                int value = 0;
                for (int digits = 0;
                     digits < 3 && at < line.size() && line[at] >= '0' && line[at] <= '7';
                     ++digits, ++at)
                    value = value * 8 + (line[at] - '0');
                --at;
                if (value == 0 || value > 0xFF)
                    throw PoError(line_, "an octal escape gives " +
                                             std::string(value ? "no byte" : "a NUL character"));
                text += static_cast<char>(value);
            } else if (c == 'x') {
                int value = 0, digits = 0;
                while (at + 1 < line.size() && common::hexDigit(line[at + 1]) >= 0) {
                    value = value * 16 + common::hexDigit(line[++at]);
                    if (++digits > 2)
                        throw PoError(line_, "a hex escape has more than two digits");
                }
                if (digits == 0)
                    throw PoError(line_, "a hex escape has no digit");
                if (value == 0)
                    throw PoError(line_, "a hex escape gives a NUL character");
                text += static_cast<char>(value);
            } else {
                throw PoError(line_, std::string("unknown escape \\") + c);
            }
        }
        std::u16string ignored;
        if (!common::utf8ToUtf16(text, ignored))
            throw PoError(line_, "a string's escapes give no well-formed UTF-8");
        return text;
    }

    std::string_view text_;
    size_t line_ = 0;
};

std::string trimmed(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// After a comment's kind: one blank is the writer's, the rest is the text.
std::string commentText(const std::string& text) {
    return !text.empty() && text[0] == ' ' ? text.substr(1) : text;
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<Entry> entries() {
        std::vector<Entry> entries;
        while (at_ < tokens_.size())
            entries.push_back(entry());
        return entries;
    }

  private:
    Entry entry() {
        Entry entry;
        while (at_ < tokens_.size() && tokens_[at_].kind == Token::Comment)
            comment(tokens_[at_++].text, entry);
        if (at_ == tokens_.size())
            throw PoError(tokens_.back().line, "comments end the file without an entry");
        entry.obsolete = tokens_[at_].obsolete;
        if (keyword("msgctxt", entry))
            entry.context = strings(entry);
        if (!keyword("msgid", entry))
            throw PoError(lineHere(), "an entry needs msgid here");
        entry.line = tokens_[at_ - 1].line;
        entry.id = strings(entry);
        if (at_ < tokens_.size() && tokens_[at_].kind == Token::Keyword &&
            tokens_[at_].text == "msgid_plural")
            throw PoError(tokens_[at_].line,
                          "plural forms (msgid_plural) have no place in an installer's texts");
        if (!keyword("msgstr", entry))
            throw PoError(entry.line, "msgid " + quote(entry.id) + " has no msgstr after it");
        entry.str = strings(entry);
        return entry;
    }

    size_t lineHere() const {
        return at_ < tokens_.size() ? tokens_[at_].line : tokens_.back().line;
    }

    void comment(const std::string& text, Entry& entry) {
        char kind = text.empty() ? ' ' : text[0];
        if (kind == '.') {
            entry.extracted.push_back(commentText(text.substr(1)));
        } else if (kind == ':') {
            entry.references.push_back(commentText(text.substr(1)));
        } else if (kind == ',') {
            std::string_view flags(text);
            flags.remove_prefix(1);
            while (!flags.empty()) {
                size_t comma = std::min(flags.find(','), flags.size());
                std::string flag = trimmed(flags.substr(0, comma));
                if (!flag.empty())
                    entry.flags.push_back(flag);
                flags.remove_prefix(std::min(comma + 1, flags.size()));
            }
        } else if (kind != '|') { // "#|": the previous msgid, for reference only
            entry.comments.push_back(commentText(text));
        }
    }

    // Takes keyword `name` when it comes next.
    bool keyword(const char* name, const Entry& entry) {
        if (at_ == tokens_.size() || tokens_[at_].kind != Token::Keyword)
            return false;
        const Token& token = tokens_[at_];
        if (token.text != name) {
            if (token.text.compare(0, 7, "msgstr[") == 0)
                throw PoError(token.line, "plural forms (msgstr[N]) have no place in an "
                                          "installer's texts");
            if (token.text != "msgctxt" && token.text != "msgid" && token.text != "msgstr" &&
                token.text != "msgid_plural")
                throw PoError(token.line, "unknown keyword \"" + token.text + "\"");
            return false;
        }
        if (token.obsolete != entry.obsolete)
            throw PoError(token.line, "an entry mixes obsolete (#~) and current lines");
        ++at_;
        return true;
    }

    // The strings after a keyword, joined; at least one.
    std::string strings(const Entry& entry) {
        size_t line = tokens_[at_ - 1].line;
        if (at_ == tokens_.size() || tokens_[at_].kind != Token::String)
            throw PoError(line, "a keyword without its string");
        std::string text;
        for (; at_ < tokens_.size() && tokens_[at_].kind == Token::String; ++at_) {
            if (tokens_[at_].obsolete != entry.obsolete)
                throw PoError(tokens_[at_].line, "an entry mixes obsolete (#~) and current lines");
            text += tokens_[at_].text;
        }
        return text;
    }

    std::vector<Token> tokens_;
    size_t at_ = 0;
};

// The header's charset; empty when it names none.
std::string charsetOf(const std::string& header) {
    std::string upper = header;
    std::transform(upper.begin(), upper.end(), upper.begin(), common::upperAscii<char>);
    const std::string key = "CHARSET=";
    size_t at = upper.find(key);
    if (at == std::string::npos)
        return std::string();
    size_t begin = at + key.size(), end = begin;
    while (end < header.size() && !isBlank(header[end]) && header[end] != '\n' &&
           header[end] != ';')
        ++end;
    return header.substr(begin, end - begin);
}

void checkEntries(const std::vector<Entry>& entries) {
    std::set<std::pair<std::optional<std::string>, std::string>> seen;
    for (const Entry& entry : entries) {
        if (!seen.emplace(entry.context, entry.id).second)
            throw PoError(entry.line, "a second entry for msgid " + quote(entry.id) +
                                          (entry.context ? " in context " + quote(*entry.context)
                                                         : std::string()));
        if (entry.isHeader()) {
            std::string charset = charsetOf(entry.str);
            if (!charset.empty() && !common::equalIgnoringAsciiCase(charset, std::string("utf-8")))
                throw PoError(entry.line, "the header gives charset " + charset +
                                              "; only UTF-8 files are read");
            continue;
        }
        if (entry.obsolete || entry.fuzzy() || entry.str.empty() || entry.id.empty())
            continue;
        if ((entry.id.front() == '\n') != (entry.str.front() == '\n'))
            throw PoError(entry.line,
                          "msgid and msgstr do not both begin with a line break, or both not");
        if ((entry.id.back() == '\n') != (entry.str.back() == '\n'))
            throw PoError(entry.line,
                          "msgid and msgstr do not both end with a line break, or both not");
    }
}

void writeComments(std::string& out, const char* kind, const std::vector<std::string>& lines) {
    for (const std::string& text : lines) {
        size_t begin = 0;
        do { // a comment holds no line break: each line is a comment of its own
            size_t end = std::min(text.find('\n', begin), text.size());
            out += kind;
            if (end > begin)
                out += ' ' + text.substr(begin, end - begin);
            out += '\n';
            begin = end + 1;
        } while (begin <= text.size());
    }
}

void writeKeyword(std::string& out, bool obsolete, const char* keyword, const std::string& text) {
    const char* prefix = obsolete ? "#~ " : "";
    out += prefix;
    out += keyword;
    size_t firstBreak = text.find('\n');
    if (firstBreak == std::string::npos || firstBreak + 1 == text.size()) {
        out += ' ' + quote(text) + '\n';
        return;
    }
    out += " \"\"\n";
    for (size_t begin = 0; begin < text.size();) {
        size_t end = std::min(text.find('\n', begin), text.size() - 1) + 1;
        out += prefix + quote(std::string_view(text).substr(begin, end - begin)) + '\n';
        begin = end;
    }
}

} // namespace

std::vector<Entry> readPo(std::string_view text) {
    std::vector<Entry> entries = Parser(Lexer(text).tokens()).entries();
    checkEntries(entries);
    return entries;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (const char* found = std::char_traits<char>::find(meant, escapes, c)) {
            out += '\\';
            out += escaped[found - meant];
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += '\\';
            for (int shift = 6; shift >= 0; shift -= 3)
                out += static_cast<char>('0' + ((c >> shift) & 7));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string writePo(const std::vector<Entry>& entries) {
    std::string out;
    for (const Entry& entry : entries) {
        if (&entry != &entries.front())
            out += '\n';
        writeComments(out, "#", entry.comments);
        writeComments(out, "#.", entry.extracted);
        writeComments(out, "#:", entry.references);
        if (!entry.flags.empty()) {
            out += "#,";
            for (const std::string& flag : entry.flags)
                out += (&flag == &entry.flags.front() ? " " : ", ") + flag;
            out += '\n';
        }
        if (entry.context)
            writeKeyword(out, entry.obsolete, "msgctxt", *entry.context);
        writeKeyword(out, entry.obsolete, "msgid", entry.id);
        writeKeyword(out, entry.obsolete, "msgstr", entry.str);
    }
    return out;
}

} // namespace po
