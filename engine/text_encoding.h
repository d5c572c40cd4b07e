#pragma once

namespace srctdy {

// The encoding a file's text is read and written in.
enum class TextEncoding { Cp932, Utf8 };

} // namespace srctdy
