#pragma once

namespace srctdy {
enum class TextEncoding { Cp932, Utf8 };
}
