#pragma once
// The catalogue update document (Data.htm): "<data>", one coded catalogue line per entry,
// "</data>", each line ended by CR LF. An update page may hold any text around the markers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_line.h"
#include "catalogue/catalogue_writer.h"

namespace catalogue {

enum class BlockResult {
    Found,       // the text between the first "<data>" and the first "</data>" after it
    NoMarker,    // no "<data>": not an update page
    Unfinished,  // "<data>" without "</data>" after it: a page cut short
};

// Finds the block of catalogue lines in an update page; markers in any letter case.
BlockResult ExtractDataBlock(std::string_view page, std::string& block);

// The page that serves the catalogue updates of a build.
std::string UpdatePagePath(bool resellerBuild);

// Begins and ends an update document; the coded lines stand in between.
inline constexpr std::string_view kDocumentStart = "<data>\r\n";
inline constexpr std::string_view kDocumentEnd = "</data>\r\n";

// The update document (Data.htm) of `entries`. Throws std::overflow_error when a line is too
// long for the codec.
std::string EncodeUpdateDocument(const std::vector<LineFields>& entries);
// The same for any rows, each giving its fields through `toFields`.
template <typename Rows, typename ToFields>
std::string EncodeUpdateDocument(const Rows& rows, ToFields toFields) {
    std::string document(kDocumentStart);
    AppendEncodedLines(document, rows, toFields);
    document += kDocumentEnd;
    return document;
}

}  // namespace catalogue
