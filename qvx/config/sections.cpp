#include "qvx/config/sections.h"

#include "qvx/config/text.h"

namespace qvx {
namespace {

// The line that starts at index i (0-based): its content without the line break, and the index
// after its LF (the text's size when it has none).
struct Line {
  std::string_view content;
  std::size_t next;
};

Line LineAt(std::string_view text, std::size_t i) {
  const std::size_t lf = text.find('\n', i);
  std::string_view content = text.substr(i, lf == std::string_view::npos ? std::string_view::npos
                                                                          : lf - i);
  if (content.ends_with('\r')) content.remove_suffix(1);
  return {content, lf == std::string_view::npos ? text.size() : lf + 1};
}

// The name of the header that line is, or nothing when it is none.
std::optional<std::string_view> HeaderName(std::string_view line) {
  if (!line.starts_with('[')) return std::nullopt;
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.size() < 2 || !trimmed.ends_with(']')) return std::nullopt;
  return trimmed.substr(1, trimmed.size() - 2);
}

// The index (0-based) of the first line start at or after i.
std::size_t LineStartFrom(std::string_view text, std::size_t i) {
  if (i == 0 || i > text.size() || text[i - 1] == '\n') return i;
  const std::size_t lf = text.find('\n', i);
  return lf == std::string_view::npos ? text.size() : lf + 1;
}

// The first header at or after index i (0-based): its index and name.
std::optional<std::pair<std::size_t, std::string_view>> HeaderFrom(std::string_view text,
                                                                   std::size_t i) {
  for (i = LineStartFrom(text, i); i < text.size();) {
    const Line line = LineAt(text, i);
    if (const auto name = HeaderName(line.content)) return std::pair{i, *name};
    i = line.next;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Section> NextSection(std::string_view text, std::size_t from) {
  const auto header = HeaderFrom(text, from < 1 ? 0 : from - 1);
  if (!header) return std::nullopt;
  Section section;
  section.start = header->first + 1;
  section.name = header->second;
  const std::size_t body = LineAt(text, header->first).next;
  section.body = body + 1;
  const auto next = HeaderFrom(text, body);
  section.end = next ? next->first + 1 : text.size() + 1;
  return section;
}

std::optional<Section> NextSection(std::string_view text, const Section& section) {
  return NextSection(text, section.end);
}

std::optional<Section> FindSection(std::string_view text, std::string_view name) {
  for (auto section = NextSection(text, 1); section; section = NextSection(text, *section))
    if (EqualsIgnoreCase(section->name, name)) return section;
  return std::nullopt;
}

std::optional<Section> SectionAt(std::string_view text, std::size_t pos) {
  std::optional<Section> holding;
  for (auto section = NextSection(text, 1); section && section->start <= pos;
       section = NextSection(text, *section))
    holding = section;
  return holding;
}

std::vector<Section> SectionsAfterGeneral(std::string_view text) {
  std::vector<Section> sections;
  const auto general = FindSection(text, "General");
  if (!general) return sections;
  for (auto section = NextSection(text, *general); section; section = NextSection(text, *section))
    sections.push_back(*section);
  return sections;
}

std::vector<Section> ListedSections(std::string_view text) {
  std::vector<Section> sections = SectionsAfterGeneral(text);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (EqualsIgnoreCase(sections[i].name, "end")) {
      sections.resize(i);
      break;
    }
  }
  return sections;
}

std::optional<Description> DescriptionOf(std::string_view text, const Section& section) {
  for (std::size_t i = section.body - 1; i < section.end - 1;) {
    const Line line = LineAt(text, i);
    if (line.content.starts_with('#')) {
      std::string_view rest = line.content.substr(1);
      rest = rest.substr(0, rest.find('\r'));
      return Description{i + 1, rest};
    }
    i = line.next;
  }
  return std::nullopt;
}

std::string_view DescriptionText(std::string_view text, const Section& section) {
  const auto description = DescriptionOf(text, section);
  return description ? description->text : std::string_view();
}

bool SameDescription(std::string_view a, std::string_view b) {
  return EqualsIgnoreCase(TrimBlanks(a), TrimBlanks(b));
}

std::optional<Section> FindDescribedSection(std::string_view text, std::string_view description) {
  for (const Section& section : ListedSections(text))
    if (SameDescription(DescriptionText(text, section), description)) return section;
  return std::nullopt;
}

}  // namespace qvx
