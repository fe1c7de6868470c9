#pragma once
// Text from an SCD in the markup of the reports: HTML text and Markdown text
// or code spans, with control characters shown, so that a name is only ever
// text.

#include <string>

namespace ccdcrc {

// Markup escaped: & < > " '.
std::string html_text(const std::string& text);
// Punctuation that Markdown or HTML would act on escaped.
std::string markdown_text(const std::string& text);
// A code span: the fence longer than any run of backticks in it, and a pipe
// escaped, which a table cell needs even there.
std::string markdown_code(const std::string& text);

}  // namespace ccdcrc
