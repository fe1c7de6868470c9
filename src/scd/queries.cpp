#include "scd/queries.h"

#include <vector>

namespace ccdcrc {

std::string format_query(std::string_view query_template, std::initializer_list<std::string_view> arguments) {
  const std::vector<std::string_view> args(arguments);
  std::string result;
  result.reserve(query_template.size() + 64);
  std::size_t i = 0;
  while (i < query_template.size()) {
    char c = query_template[i];
    if (c == '{') {
      std::size_t j = i + 1;
      std::size_t number = 0;
      bool overflow = false;
      while (j < query_template.size() && query_template[j] >= '0' && query_template[j] <= '9') {
        if (number > 1000) overflow = true;
        number = number * 10 + static_cast<std::size_t>(query_template[j] - '0');
        ++j;
      }
      if (j > i + 1 && j < query_template.size() && query_template[j] == '}' && !overflow && number < args.size()) {
        result.append(args[number]);
        i = j + 1;
        continue;
      }
    }
    result.push_back(c);
    ++i;
  }
  return result;
}

pugi::xpath_node_set select(pugi::xml_node context, const std::string& query) {
  if (!context) return {};
  try {
    return context.select_nodes(query.c_str());
  } catch (const pugi::xpath_exception&) {
    return {};
  }
}

pugi::xml_node select_first(pugi::xml_node context, const std::string& query) {
  pugi::xpath_node_set nodes = select(context, query);
  return nodes.empty() ? pugi::xml_node() : nodes[0].node();
}

}  // namespace ccdcrc
