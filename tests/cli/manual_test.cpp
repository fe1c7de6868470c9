// The manual page and the bash, zsh and fish completions know every command
// and option that `ccdcrc --help` shows, and no other: an option added to the
// program but not to them, or dropped from the program but not from them,
// fails here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/process.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

using Names = std::set<std::string>;

// The first words of the lines of a section of the help ("Options:",
// "Subcommands:"), up to the next blank line.
Names help_section(const std::string& help, const std::string& heading) {
  Names names;
  std::istringstream lines(help);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == heading) {
      inside = true;
    } else if (inside && line.empty()) {
      break;
    } else if (inside) {
      std::istringstream words(line);
      std::string first;
      words >> first;
      std::istringstream parts(first);
      for (std::string part; std::getline(parts, part, ',');) names.insert(part);
    }
  }
  return names;
}

std::string help_of(const std::vector<std::string>& arguments) {
  const ProcessResult result = run_ccdcrc(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out;
}

// The options named in a roff line: "\-f", "\-\-format".
Names options_in(std::string line) {
  line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
  line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
  Names names;
  static const std::regex option(R"((^|[^\w-])(--?[A-Za-z][A-Za-z-]*))");
  for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it) names.insert((*it)[2]);
  return names;
}

// From the manual page: per command (.SS under COMMANDS) the options of its
// tagged paragraphs (.TP), under "" those of the OPTIONS section, and under
// "*" those of DESCRIPTION, which every command takes.
std::map<std::string, Names> manual_options() {
  std::ifstream in(std::string(CCDCRC_DOC) + "/ccdcrc.1.in");
  EXPECT_TRUE(in);
  std::map<std::string, Names> options;
  std::string section;
  std::string command;
  bool tag_next = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(".SH ")) {
      section = line.substr(4);
      command.clear();
    } else if (line.starts_with(".SS ") && section == "COMMANDS") {
      command = line.substr(4);
      options[command];
    } else if (line == ".TP") {
      tag_next = section == "COMMANDS" || section == "OPTIONS" || section == "DESCRIPTION";
      if (section == "DESCRIPTION") command = "*";
    } else if (tag_next) {
      tag_next = false;
      const Names named = options_in(line);
      options[command].insert(named.begin(), named.end());
    }
  }
  return options;
}

// What the completion offers after the words typed so far.
Names completions(const std::vector<std::string>& words) {
  std::vector<std::string> arguments{"-c",
                                     R"(source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _ccdcrc; )"
                                     R"(printf "%s\n" "${COMPREPLY[@]}")",
                                     "completion", std::string(CCDCRC_PACKAGING) + "/ccdcrc.bash"};
  arguments.insert(arguments.end(), words.begin(), words.end());
  const ProcessResult result = run_process("/bin/bash", arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  Names names;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) names.insert(line);
  }
  return names;
}

TEST(Manual, CoversEveryCommandAndOptionOfTheHelp) {
  const std::string help = help_of({"--help"});
  const Names commands = help_section(help, "Subcommands:");
  ASSERT_EQ(commands.size(), 9u);
  std::map<std::string, Names> manual = manual_options();
  EXPECT_EQ(manual[""], help_section(help, "Options:"));
  manual.erase("");
  const Names common = manual["*"];
  manual.erase("*");
  Names manual_commands;
  for (const auto& [command, options] : manual) manual_commands.insert(command);
  EXPECT_EQ(manual_commands, commands);
  for (const std::string& command : commands) {
    Names options = help_section(help_of({command, "--help"}), "Options:");
    // --help is described once, for every command.
    options.erase("-h");
    options.erase("--help");
    Names described = manual[command];
    described.insert(common.begin(), common.end());
    EXPECT_EQ(described, options) << command;
  }
}

TEST(Completion, OffersEveryCommandAndOptionOfTheHelp) {
  const std::string help = help_of({"--help"});
  const Names commands = help_section(help, "Subcommands:");
  EXPECT_EQ(completions({"ccdcrc", ""}), commands);
  EXPECT_EQ(completions({"ccdcrc", "-"}), help_section(help, "Options:"));
  for (const std::string& command : commands) {
    EXPECT_EQ(completions({"ccdcrc", command, "-"}), help_section(help_of({command, "--help"}), "Options:")) << command;
  }
  EXPECT_EQ(completions({"ccdcrc", "all", "--format", ""}), (Names{"text", "json", "csv"}));
  // Directories after -o, files elsewhere.
  const std::string examples = CCDCRC_EXAMPLES;
  EXPECT_EQ(completions({"ccdcrc", "export", "x.scd", "-o", examples.substr(0, examples.size() - 1)}),
            (Names{examples}));
  EXPECT_EQ(completions({"ccdcrc", "export", "x.scd", "-o", example_path("substation.s")}), Names{});
  EXPECT_EQ(completions({"ccdcrc", "ied", example_path("substation.s")}), (Names{example_path("substation.scd")}));
  EXPECT_EQ(completions({"ccdcrc", "diff", "a", "b", "-o", example_path("substation.s")}),
            (Names{example_path("substation.scd")}));
  // IED names from the SCD on the line, as `all` lists them.
  const std::string scd = example_path("substation.scd");
  const Names ieds{"CL1101", "MU1001", "MU1101", "PL1101", "PT1001"};
  EXPECT_EQ(completions({CCDCRC_PROGRAM, "ied", scd, ""}), ieds);
  EXPECT_EQ(completions({CCDCRC_PROGRAM, "ccd", scd, "P"}), (Names{"PL1101", "PT1001"}));
  EXPECT_EQ(completions({CCDCRC_PROGRAM, "export", scd, "-o", "out", "M"}), (Names{"MU1001", "MU1101"}));
  EXPECT_EQ(completions({CCDCRC_PROGRAM, "ied", "--color", "never", scd, "-n", "C"}), (Names{"CL1101"}));
  EXPECT_EQ(completions({CCDCRC_PROGRAM, "ccd", scd, "PL1101", "P"}), Names{}) << "ccd takes one name";
}

// The zsh completion: per command the options in its branch of `case`, with
// those of the shared option lists it names ($common, $format, ...).
std::map<std::string, Names> zsh_options() {
  std::ifstream in(std::string(CCDCRC_PACKAGING) + "/ccdcrc.zsh");
  EXPECT_TRUE(in);
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  std::map<std::string, Names> shared;
  static const std::regex shared_definition(R"((common|format|excel|quiet|jobs)=([^\n]*(\n +'[^\n]*)?))");
  for (std::sregex_iterator it(text.begin(), text.end(), shared_definition), end; it != end; ++it) {
    shared[(*it)[1]] = options_in((*it)[2]);
  }
  std::map<std::string, Names> options;
  static const std::regex branch(R"(\((\w+)\) _arguments([^;]*);;)");
  static const std::regex variable(R"(\$(\w+))");
  for (std::sregex_iterator it(text.begin(), text.end(), branch), end; it != end; ++it) {
    const std::string body = (*it)[2];
    Names names = options_in(body);
    for (std::sregex_iterator v(body.begin(), body.end(), variable); v != end; ++v) {
      names.insert(shared[(*v)[1]].begin(), shared[(*v)[1]].end());
    }
    options[(*it)[1]] = names;
  }
  return options;
}

// What fish offers for a command line (run by fish itself, where it is installed).
Names fish_completions(const std::string& line) {
  const ProcessResult result = run_process(
      "/usr/bin/fish",
      {"-c", "source " + std::string(CCDCRC_PACKAGING) + "/ccdcrc.fish; complete -C '" + line + "' | cut -f1"});
  EXPECT_EQ(result.status, 0) << result.err;
  Names names;
  std::istringstream lines(result.out);
  for (std::string name; std::getline(lines, name);) names.insert(name);
  return names;
}

TEST(Completion, ZshAndFishOfferEveryOptionOfTheHelp) {
  const std::string help = help_of({"--help"});
  const Names commands = help_section(help, "Subcommands:");
  std::map<std::string, Names> zsh = zsh_options();
  const bool fish = std::filesystem::exists("/usr/bin/fish");
  for (const std::string& command : commands) {
    const Names options = help_section(help_of({command, "--help"}), "Options:");
    EXPECT_EQ(zsh[command], options) << "zsh: " << command;
    if (fish) {
      EXPECT_EQ(fish_completions("ccdcrc " + command + " -"), options) << "fish: " << command;
    }
  }
  if (!fish) GTEST_SKIP() << "fish is not installed: its completion was not run";
  EXPECT_EQ(fish_completions("ccdcrc -"), help_section(help, "Options:"));
  EXPECT_EQ(fish_completions(std::string(CCDCRC_PROGRAM) + " ccd " + example_path("substation.scd") + " PL"),
            Names{"PL1101"});
}

}  // namespace
}  // namespace ccdcrc::testing
