#pragma once

// The sections of the configuration text. A section begins with its header, a line that starts
// with "[" and ends, blanks aside, with "]"; it runs up to the next header or the end of the text.
// A "[" anywhere else (in a path, a command name, the keyboard key "[") begins nothing, and so
// does a line the save would cut off, since a header always holds a "]". Every scan of the text
// for sections goes through these functions.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace qvx {

// One section of a text; positions are 1-based, as FindInText's.
struct Section {
  std::size_t start = 0;  // the header's "["
  std::size_t body = 0;   // the first character after the header's line (or one past the text)
  std::size_t end = 0;    // the next header's "[", or one past the text
  std::string_view name;  // what stands between "[" and "]"
};

// The first section whose header begins at or after position from.
std::optional<Section> NextSection(std::string_view text, std::size_t from);

// The section after `section`, if any.
std::optional<Section> NextSection(std::string_view text, const Section& section);

// The first section named name (ignoring case).
std::optional<Section> FindSection(std::string_view text, std::string_view name);

// The section that holds position pos: the last header that begins at or before it.
std::optional<Section> SectionAt(std::string_view text, std::size_t pos);

// The sections after the first [General], in file order.
std::vector<Section> SectionsAfterGeneral(std::string_view text);

// The sections the import and export dialog lists: those after [General], up to [End].
std::vector<Section> ListedSections(std::string_view text);

// A section's description line: the first line of its body that starts with "#".
struct Description {
  std::size_t line = 0;   // position of the "#"
  std::string_view text;  // what follows the "#" up to the end of the line (CR excluded)
};

// The description of a section; nothing when no line of its body starts with "#".
std::optional<Description> DescriptionOf(std::string_view text, const Section& section);

// The description as the dialog lists it: empty when the section has none.
std::string_view DescriptionText(std::string_view text, const Section& section);

// Whether two descriptions are the same: equal ignoring case and surrounding blanks.
bool SameDescription(std::string_view a, std::string_view b);

// The first listed section whose description is the same as description. Text that merely
// contains the description, in another line or another section, never matches.
std::optional<Section> FindDescribedSection(std::string_view text, std::string_view description);

}  // namespace qvx
