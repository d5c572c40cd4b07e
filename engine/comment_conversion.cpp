#include "engine/comment_conversion.h"

#include "engine/cp932.h"

namespace srctdy {
namespace {

// The byte scans below look only for "/", "*" and quotes. These lie below 0x40 and so are never
// the second byte of a double-byte character: walking byte by byte is safe. The pre-tests
// ("does the line hold this pair at all?") are character-aware searches, as everywhere else.

bool PairAt(const std::string& line, size_t at, char first, char second) {
    return at + 1 < line.size() && line[at] == first && line[at + 1] == second;
}

// Block comments to line comments. The state carries an open comment from line to line.
void BlockToLineComments(ConversionState& state) {
    std::string& line = state.line;
    if (state.commentState == 0 && cp932::Contains(line, "/*")) {
        bool inQuotes = false;
        for (size_t i = 0; i < line.size();) {
            if (!inQuotes && PairAt(line, i, '/', '/'))
                break; // the rest is a line comment already
            if (line[i] == '"') {
                inQuotes = !inQuotes;
                ++i;
            } else if (!inQuotes && PairAt(line, i, '/', '*')) {
                line[i + 1] = '/';
                state.commentState = 1;
                i += 2;
            } else {
                ++i;
            }
        }
    }
    // Every "*/" outside quotes closes, also after a "//", so that the output stage knows the
    // comment ended on this line.
    if (cp932::Contains(line, "*/")) {
        bool inQuotes = false;
        for (size_t i = 0; i < line.size();) {
            if (line[i] == '"') {
                inQuotes = !inQuotes;
                ++i;
            } else if (!inQuotes && PairAt(line, i, '*', '/')) {
                line[i] = ' ';
                line[i + 1] = ' ';
                state.commentState = 2;
                i += 2;
            } else {
                ++i;
            }
        }
    }
}

// Line comments to block comments: every "//" outside quotes opens one, and a single " */"
// closes them all at the end of the line.
void LineToBlockComments(std::string& line) {
    if (!cp932::Contains(line, "//"))
        return;
    bool inQuotes = false;
    bool replaced = false;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == '"') {
            inQuotes = !inQuotes;
            ++i;
        } else if (!inQuotes && PairAt(line, i, '/', '/')) {
            line[i + 1] = '*';
            replaced = true;
            i += 2;
        } else {
            ++i;
        }
    }
    if (replaced)
        line += " */";
}

// Long lines (81 to 255 bytes) are split into their comments and their code, unless a quote
// is left open.
void SplitLongLine(ConversionState& state) {
    const size_t length = state.line.size();
    if (length <= 80 || length >= 256)
        return;
    // Scratch buffers that keep their capacity from line to line.
    thread_local std::string code;
    thread_local std::string comment;
    if (SplitCommentLine(state.line, code, comment) != 0)
        return;
    state.line.swap(code);
    state.splitComment.assign(comment);
    state.splitPending = true;
}

} // namespace

void ConvertComments(int commentMode, ConversionState& state) {
    switch (commentMode) {
    case 1:
        BlockToLineComments(state);
        break;
    case 2:
        LineToBlockComments(state.line);
        break;
    case 3:
        SplitLongLine(state);
        break;
    default:
        break;
    }
}

int SplitCommentLine(std::string_view text, std::string& code, std::string& comment) {
    code.clear();
    comment.clear();
    bool inComment = false;
    int singleQuotes = 0;
    int doubleQuotes = 0;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (inComment && c == '*' && next == '/') {
            comment += "*/";
            inComment = false;
            i += 2;
            continue;
        }
        if (c == '/' && next == '*') {
            comment += "/*";
            inComment = true;
            i += 2;
            continue;
        }
        if (c == '/' && next == '/') {
            // Wherever it stands, inside a string or a block comment too.
            comment.append(text.substr(i));
            break;
        }
        if (!inComment && c == '\'')
            singleQuotes ^= 1;
        else if (!inComment && c == '"')
            doubleQuotes ^= 1;
        (inComment ? comment : code) += c;
        ++i;
    }
    return singleQuotes != 0 || doubleQuotes != 0 ? 1 : 0;
}

} // namespace srctdy
