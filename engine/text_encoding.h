#pragma once

namespace srctdy {

// How a file's bytes are read: code page 932 (Shift-JIS, double-byte characters) or UTF-8.
enum class TextEncoding { Cp932, Utf8 };

} // namespace srctdy
