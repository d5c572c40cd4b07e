#include "config/editor_config.h"

#include "platform/string_table.h"

#include <algorithm>
#include <editorconfig/editorconfig.h>
#include <map>

namespace srctdy {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Owns a libeditorconfig handle.
class Handle {
public:
    Handle() : h_(editorconfig_handle_init()) {}
    ~Handle() {
        if (h_)
            editorconfig_handle_destroy(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    editorconfig_handle get() const { return h_; }

private:
    editorconfig_handle h_;
};

} // namespace

std::string ReadEditorConfig(const std::string& path, std::vector<OptionSetting>& settings) {
    Handle handle;
    if (!handle.get())
        return FormatText(text::kConfigOutOfMemory, path);
    int status = editorconfig_parse(path.c_str(), handle.get());
    if (status > 0) {
        const char* file = editorconfig_handle_get_err_file(handle.get());
        return FormatText(text::kConfigCannotParse, std::string(file ? file : ".editorconfig") +
                                                        ":" + std::to_string(status));
    }
    if (status < 0)
        return path + ": " + editorconfig_get_error_msg(status);

    std::map<std::string, std::string> properties;
    const int count = editorconfig_handle_get_name_value_count(handle.get());
    for (int i = 0; i < count; ++i) {
        const char* name = nullptr;
        const char* value = nullptr;
        editorconfig_handle_get_name_value(handle.get(), i, &name, &value);
        if (name && value)
            properties[Lower(name)] = Lower(value);
    }
    auto add = [&](const std::string& property, std::string key, std::string value) {
        settings.push_back({std::move(key),
                            {OptionValue::Kind::Text, std::move(value)},
                            FormatText(text::kConfigFromEditorConfig, property),
                            0});
    };
    auto get = [&](const char* name) {
        auto it = properties.find(name);
        return it == properties.end() ? std::string() : it->second;
    };

    const std::string style = get("indent_style"), size = get("indent_size");
    const bool sizeFits = size == "2" || size == "4" || size == "8";
    if (style == "tab" || (style.empty() && size == "tab"))
        add(style == "tab" ? "indent_style" : "indent_size", "indent", "tab");
    else if ((style == "space" || style.empty()) && sizeFits)
        add("indent_size", "indent", size);

    const std::string eol = get("end_of_line");
    if (eol == "lf" || eol == "crlf")
        add("end_of_line", "eol", eol);

    const std::string charset = get("charset");
    if (charset == "utf-8" || charset == "utf-8-bom")
        add("charset", "charset", charset);

    const std::string trim = get("trim_trailing_whitespace");
    if (trim == "true" || trim == "false") {
        add("trim_trailing_whitespace", "trim", trim);
        settings.back().value.kind = OptionValue::Kind::Boolean;
    }
    return {};
}

} // namespace srctdy
