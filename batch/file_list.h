#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace srctdy {

// Whether name matches a wildcard pattern ("*" any run, "?" one byte), ignoring the case of
// A to Z as the original platform does. "*.*" matches every name, names without a dot too.
bool MatchesFileType(std::string_view name, std::string_view pattern);

// The file list's order: bytes compared with A to Z folded to a to z, ties broken by the raw
// bytes.
bool FileNameLess(std::string_view a, std::string_view b);

// The names (bare, no folder part) of the plain files in folder that match pattern, sorted
// by FileNameLess. Folders are never listed, whatever their names; hidden files are. A folder
// that cannot be read gives an empty list.
std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern);

// A file ListFiles lists, and whether the listing showed it to be no link.
struct ListedFile {
    std::string name;
    bool noLink = false;
};
std::vector<ListedFile> ListFileEntries(const std::string& folder, std::string_view pattern);

} // namespace srctdy
