#include "kovolist/kovolist_options.h"

#include <getopt.h>

namespace kovo {
namespace {

#ifdef KOVO_WITH_JSON
#define KOVO_JSON_USAGE(text) text
constexpr char kShortOptions[] = "a:c:qujhV";
#else
#define KOVO_JSON_USAGE(text) ""
constexpr char kShortOptions[] = "a:c:quhV";
#endif

const char kUsage[] =
    "usage: kovolist [-u]" KOVO_JSON_USAGE(" [-j]") " [FILE]\n"
    "       kovolist -a SWITCH [-u]" KOVO_JSON_USAGE(" [-j]") " [FILE]\n"
    "       kovolist -c SWITCH [-q] [FILE]\n"
    "       kovolist --journal=before|after [-u]" KOVO_JSON_USAGE(" [-j]") " [FILE]\n"
    "       kovolist -h | -V\n"
    "\n"
    "Lists the 100 slots of FILE (default kovo.fon, found as kovomaint finds it);\n"
    "never writes.\n"
    "  -a, --after=SWITCH  list the slots as \"kovomaint SWITCH\" would leave them\n"
    "  -c, --check=SWITCH  exit 0 if \"kovomaint SWITCH\" would leave FILE byte for\n"
    "                      byte as it is, 1 if it would change it, 2 if it would\n"
    "                      not do its work; name every slot it erases\n"
    "  -q, --quiet         with --check: print nothing but, on standard error, why\n"
    "                      the status is not 0\n"
    "      --journal=WHICH list the journal beside FILE instead: its image from\n"
    "                      before its store (WHICH is before) or after (after)\n"
    "  -u, --used          list only the used slots, then a count of used and free\n"
    KOVO_JSON_USAGE("  -j, --json          one JSON document instead of lines\n")
    "  -h, --help          show this and exit\n"
    "  -V, --version       show the version and exit\n";

const option kLongOptions[] = {
    {"after", required_argument, nullptr, 'a'}, {"check", required_argument, nullptr, 'c'},
    {"quiet", no_argument, nullptr, 'q'},       {"used", no_argument, nullptr, 'u'},
#ifdef KOVO_WITH_JSON
    {"json", no_argument, nullptr, 'j'},
#endif
    {"help", no_argument, nullptr, 'h'},        {"version", no_argument, nullptr, 'V'},
    {"journal", required_argument, nullptr, 'J'},
    {nullptr, 0, nullptr, 0}};

ParsedOptions Refuse(std::string error) { return ParsedOptions{std::nullopt, std::move(error)}; }

// The option getopt_long refused, as the user wrote it: a short one is in
// optopt, a long one in the argument it last took.
std::string Refused(char** argv) {
  const std::string argument = argv[optind - 1];
  if (argument.rfind("--", 0) == 0) return argument.substr(0, argument.find('='));
  return optopt != 0 ? std::string("-") + static_cast<char>(optopt) : argument;
}

}  // namespace

const char* ListingUsage() { return kUsage; }

ParsedOptions ParseListingOptions(int argc, char** argv) {
  ListingOptions options;
  opterr = 0;
  optind = 0;  // a fresh scan, also where the library keeps state of its own
  for (int option; (option = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1;) {
    switch (option) {
      case 'h':
      case 'V':
        options.Mode = option == 'h' ? ListingMode::Help : ListingMode::Version;
        return ParsedOptions{options, {}};
      case 'j': options.Json = true; break;
      case 'q': options.Quiet = true; break;
      case 'u': options.UsedOnly = true; break;
      case 'J':
        if (options.Mode != ListingMode::AsIs) return Refuse("--after, --check and --journal go alone");
        if (std::string(optarg) != "before" && std::string(optarg) != "after")
          return Refuse("--journal takes before or after");
        options.Mode = ListingMode::Journal;
        options.JournalAfter = std::string(optarg) == "after";
        break;
      case 'a':
      case 'c':
        if (options.Mode != ListingMode::AsIs) return Refuse("--after, --check and --journal go alone");
        options.Mode = option == 'a' ? ListingMode::After : ListingMode::Check;
        options.Switch = optarg;
        // An empty argument counts as none, as kovomaint passes it over.
        options.Outcome = ClassifySwitch(*optarg == '\0' ? std::nullopt : std::optional<std::string>(optarg));
        break;
      default:
        if (optopt == 'J') return Refuse(Refused(argv) + " needs before or after");
        if (optopt == 'a' || optopt == 'c')
          return Refuse(Refused(argv) + " needs the switch to try, Y or N");
        if (optopt != 0 && std::string(argv[optind - 1]).find('=') != std::string::npos)
          return Refuse(Refused(argv) + " takes no value");
        return Refuse("unknown option '" + Refused(argv) + "'");
    }
  }
  if (argc - optind > 1) return Refuse("one file at a time");
  if (optind < argc) options.File = argv[optind];
  if (options.Mode == ListingMode::Check && (options.Json || options.UsedOnly))
    return Refuse("--check lists nothing: --json and --used do not go with it");
  if (options.Quiet && options.Mode != ListingMode::Check) return Refuse("--quiet goes only with --check");
  return ParsedOptions{options, {}};
}

}  // namespace kovo
