#include "console/command.h"

namespace ccdcrc {

void add_format_option(CLI::App& command, Format& format) {
  command
      .add_option_function<std::string>(
          "-f,--format",
          [&format](const std::string& name) {
            format = name == "json" ? Format::json : name == "csv" ? Format::csv : Format::text;
          },
          "output format: text (default), json or csv")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->option_text("text|json|csv");
}

void add_excel_option(CLI::App& command, Console& console) {
  command.add_flag("--excel", console.excel,
                   "with --format csv: CSV as Excel opens it (a UTF-8 byte-order mark, CRLF line ends)");
}

void add_jobs_option(CLI::App& command, unsigned& jobs) {
  command.add_option("-j,--jobs", jobs, "IEDs built in parallel (default: one per core)")
      ->check(CLI::Range(1u, 1024u))
      ->option_text("N");
}

void add_quiet_option(CLI::App& command, bool& quiet, const std::string& meaning) {
  command.add_flag("-q,--quiet", quiet, meaning);
}

CLI::Option* add_file_argument(CLI::App& command, const std::string& name, std::string& path,
                               const std::string& description) {
  return command.add_option(name, path, description)->required()->option_text(" ");
}

CLI::Option* add_scd_argument(CLI::App& command, std::string& path) {
  return add_file_argument(command, "SCD", path, "the SCD file ('-' for standard input; gzip and zip are read)");
}

void add_examples(CLI::App& command, const std::string& examples) { command.footer("Examples:\n" + examples); }

int usage_error(Diagnostics& diagnostics, const std::string& command, const std::string& message) {
  diagnostics.usage(command, message);
  return exit_usage;
}

}  // namespace ccdcrc
