#include "engine/comment_conversion.h"

namespace srctdy {

void ConvertComments(int, ConversionState&) {}

int SplitCommentLine(std::string_view text, std::string& code, std::string& comment) {
    code.assign(text);
    comment.clear();
    return 0;
}

} // namespace srctdy
