// The interactive menu that runs without arguments: one action through the C entry points.

#include "console/menu.h"

#include <map>
#include <string>

#include "ccdcrc/ccdcrc.h"

namespace ccdcrc {

namespace {

void say(std::ostream& out, const std::string& line) { out << line << std::endl; }

// One blank-delimited token; stays empty when the input has ended.
std::string ask(std::istream& in, std::ostream& out, const char* prompt) {
  say(out, prompt);
  std::string answer;
  in >> answer;
  return answer;
}

void all_ied_crcs(std::istream& in, std::ostream& out) {
  const std::string path = ask(in, out, "Please input the path of SCD file:");
  say(out, "Please wait..");
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd_crc = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  const std::string scd_crc_text = scd_crc ? scd_crc : "";
  say(out, "SCD CRC:" + scd_crc_text);
  std::map<std::string, std::string> crcs;
  for (int i = 0; i < count; ++i) crcs[pairs[i]->name] = pairs[i]->crc;
  for (const auto& [name, crc] : crcs) {
    std::string line = name;
    line += ':';
    line += crc;
    say(out, line);
  }
  say(out, "The CRC of SCD is:" + scd_crc_text);
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
}

void one_ied_crc(std::istream& in, std::ostream& out) {
  const std::string path = ask(in, out, "Please input the path of SCD file:");
  const std::string name = ask(in, out, "Please input the name of IED:");
  char* crc = compute_ied_crc(path.c_str(), name.c_str());
  say(out, std::string("The CRC of IED is:") + (crc ? crc : ""));
  ccdcrc_free_text(crc);
}

void export_ccd(std::istream& in, std::ostream& out) {
  const std::string path = ask(in, out, "Please input the path of SCD file:");
  const std::string name = ask(in, out, "Please input the name of IED:");
  const std::string directory = ask(in, out, "Please input the path of export directory:");
  export_ied_ccd(path.c_str(), name.c_str(), directory.c_str());
}

}  // namespace

int run_menu(std::istream& in, std::ostream& out) {
  say(out, "Please select the action you want to take:");
  say(out, "1. Calculate the CRC of all IEDs and the CRC of SCDs");
  say(out, "2. Calculate the CRC of the specified IED");
  say(out, "3. Export the CCD of the specified IED");
  say(out, "Please enter the action number(1-3):");
  int action = -1;
  if (!(in >> action)) action = -1;
  switch (action) {
    case 1: all_ied_crcs(in, out); break;
    case 2: one_ied_crc(in, out); break;
    case 3: export_ccd(in, out); break;
    default: say(out, "Please input the correct number!"); break;
  }
  // The dialogue ends here; a Linux terminal has no "pause" to wait on.
  return 0;
}

}  // namespace ccdcrc
