// The program's assembly over orvexa.toml variants: the lines and wave devices it builds, the
// problems it reports, and the same devices seen through the subcommands that start from it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "app/assembly/program_assembly.h"
#include "app/cli/cli.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::assembly {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSipLine =
    "[[line]]\nkind = \"sip\"\nname = \"Office 201\"\nregistrar = \"127.0.0.1:5999\"\n"
    "user = \"201\"\nregister = false\n";

struct Variant {
  const char* name;
  std::optional<std::string> file;  // nullopt: no orvexa.toml
  std::vector<std::string> lines;   // with the steady clock
  std::vector<std::string> problems;  // each found in one reported problem, in order
  bool refused = false;
  std::vector<std::string> fast_lines;  // with the manual clock, when it differs
};

std::vector<Variant> variants() {
  const std::string sip = kSipLine;
  return {
      {"NoFile", std::nullopt, {"Simulated line 1"}, {}},
      {"SimOnly", "[[line]]\nname = \"A\"\n[[line]]\nkind = \"sim\"\nname = \"B\"\n", {"A", "B"}, {}},
      {"SimAndSip", "[[line]]\nname = \"A\"\n" + sip, {"A", "Office 201"}, {},
       false, {"A"}},
      {"UnknownKind", "[[line]]\nkind = \"fax\"\nname = \"F\"\n[[line]]\nname = \"A\"\n",
       {"A"}, {"line 1 (\"F\"): unknown kind \"fax\""}},
      {"BrokenLineAmongGood",
       "[[line]]\nname = \"A\"\n[[line]]\nname = \"B\"\nring_timeout = \"long\"\n" + sip,
       {"A", "Office 201"}, {"line 2 (\"B\"): key 'ring_timeout'"}, false, {"A"}},
      {"BrokenSipAmongGood", "[[line]]\nname = \"A\"\n[[line]]\nkind = \"sip\"\nuser = \"x\"\n",
       {"A"}, {"line 1: key \"registrar\" is missing"}},  // sip lines count from 0
      {"KindNotText", "[[line]]\nkind = 3\n[[line]]\nname = \"A\"\n", {"A"},
       {"line 1: key 'kind': must be a string"}},
      {"NotToml", "[[line]\nname = \"A\"\n", {"Simulated line 1"}, {"orvexa.toml: line 1"}, true},
      {"BrokenFarEnd", "[[line]]\nname = \"A\"\n" + sip + "[[far_end]]\noutcome = \"maybe\"\n",
       {"Simulated line 1", "Office 201"}, {"far_end 1"}, true, {"Simulated line 1"}},
  };
}

struct Folder {
  fs::path path;
  explicit Folder(const Variant& v) {
    path = fs::path(::testing::TempDir()) / (std::string("assembly-") + v.name);
    fs::remove_all(path);
    fs::create_directories(path);
    if (v.file) {
      std::ofstream(path / kLineFileName, std::ios::binary) << *v.file;
      ::chmod((path / kLineFileName).c_str(), 0600);
    }
  }
  ~Folder() { fs::remove_all(path); }
};

std::vector<std::string> line_names(ProgramAssembly& program) {
  std::vector<std::string> names;
  const auto count = program.lines().device_count();
  for (std::size_t i = 0; i < count; ++i) {
    const auto found = program.lines().provider_of(static_cast<telephony::DWORD>(i));
    names.push_back(found ? found->first->device(found->second).name : "?");
  }
  return names;
}

std::vector<std::string> line_wave_outputs(ProgramAssembly& program) {
  std::vector<std::string> names;
  for (const auto& d : program.audio().devices(audio::Direction::Playback))
    if (d.kind == audio::DeviceKind::Line) names.emplace_back(d.name.begin(), d.name.end());
  return names;
}

void expect_problems(const std::vector<std::string>& reported, const Variant& v,
                     const std::string& where) {
  ASSERT_GE(reported.size(), v.problems.size()) << where;
  std::size_t next = 0;
  for (const auto& p : reported)
    if (next < v.problems.size() && p.find(v.problems[next]) != std::string::npos) ++next;
  EXPECT_EQ(next, v.problems.size()) << where << ": " << ::testing::PrintToString(reported);
  if (v.problems.empty()) {
    EXPECT_TRUE(reported.empty()) << where << ": " << reported.front();
  }
}

class AssemblyVariants : public ::testing::TestWithParam<Variant> {};

TEST_P(AssemblyVariants, BuildsTheLinesOfTheFileAndNamesEveryProblem) {
  const Variant& v = GetParam();
  Folder folder(v);
  for (const ClockKind clock : {ClockKind::Steady, ClockKind::Manual}) {
    const bool fast = clock == ClockKind::Manual;
    const std::string where = std::string(v.name) + (fast ? " (manual clock)" : "");
    AssemblyOptions options;
    options.clock = clock;
    options.settings_file = fs::path();
    std::vector<std::string> sunk;
    ProgramAssembly program(folder.path, options, [&](const std::string& e) { sunk.push_back(e); });
    const auto& expected = fast && !v.fast_lines.empty() ? v.fast_lines : v.lines;
    EXPECT_EQ(line_names(program), expected) << where;
    EXPECT_EQ(program.config_refused(), v.refused) << where;
    EXPECT_EQ(sunk, program.problems()) << where;
    if (!(fast && !v.fast_lines.empty())) expect_problems(sunk, v, where);
    // Every line's audio is a wave device of the same service the voice component uses.
    std::vector<std::string> outputs;
    for (const auto& name : expected) outputs.push_back(name + " Modem wave/out");
    EXPECT_EQ(line_wave_outputs(program), outputs) << where;
    EXPECT_EQ(program.manual_clock() != nullptr, fast) << where;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const bool sip = expected[i] == "Office 201";
      EXPECT_EQ(program.device_kind(i), sip ? "sip" : "sim") << where;
      EXPECT_EQ(program.device_state(i), sip ? "not registering" : "-") << where;
    }
    EXPECT_EQ(program.sim() != nullptr, !expected.empty() && expected[0] != "Office 201") << where;
  }
}

struct CommandRun {
  int code;
  std::string out, err;
};

CommandRun orvexa(const fs::path& home, std::vector<std::string> args) {
  std::ostringstream out, err;
  std::istringstream in;
  args.insert(args.begin(), {"orvexa", "--home", home.string()});
  const cli::CliOutcome outcome = cli::run_cli(args, {out, err, in});
  return {outcome.exit_code, out.str(), err.str()};
}

// The subcommands start from the same assembly: `lines` lists the lines it built, `wave devices`
// the wave devices of those lines, and both report the same problems.
TEST_P(AssemblyVariants, SubcommandsSeeTheSameDevicesAndProblems) {
  const Variant& v = GetParam();
  Folder folder(v);
  const CommandRun lines = orvexa(folder.path, {"lines"});
  const CommandRun wave = orvexa(folder.path, {"wave", "devices"});
  EXPECT_EQ(lines.err, wave.err) << v.name;
  for (const auto& problem : v.problems) {
    EXPECT_NE(lines.err.find(problem), std::string::npos) << v.name << ": " << lines.err;
  }
  EXPECT_EQ(lines.code, v.problems.empty() ? cli::kExitDone : cli::kExitBadArguments) << lines.err;
  if (v.refused) return;  // `lines` stops at a file it cannot use
  for (std::size_t i = 0; i < v.lines.size(); ++i) {
    const std::string row = std::to_string(i) + "\t" + v.lines[i] + "\t";
    EXPECT_NE(lines.out.find(row), std::string::npos) << v.name << ": " << lines.out;
    EXPECT_NE(wave.out.find(v.lines[i] + " Modem wave/out"), std::string::npos) << wave.out;
    EXPECT_NE(wave.out.find(v.lines[i] + " Modem wave/in"), std::string::npos) << wave.out;
  }
  EXPECT_EQ(lines.out.find("\n" + std::to_string(v.lines.size()) + "\t"), std::string::npos)
      << lines.out;
}

INSTANTIATE_TEST_SUITE_P(Files, AssemblyVariants, ::testing::ValuesIn(variants()),
                         [](const auto& info) { return std::string(info.param.name); });

// A new kind of line is one more table entry: here a kind whose lines are simulated ones.
TEST(LineKindTable, ANewKindIsOneMoreEntry) {
  Variant v{"NewKind", "[[line]]\nkind = \"pstn\"\nname = \"Card 1\"\n", {}, {}};
  Folder folder(v);
  AssemblyOptions options;
  options.settings_file = fs::path();
  auto kinds = standard_line_kinds();
  kinds.push_back({"pstn", [sim = kinds[0].make](const LineKindContext& c,
                                                 const std::vector<telephony::LineTable>& t) {
                     std::vector<telephony::LineTable> as_sim = t;
                     for (auto& table : as_sim) table.kind = "sim";
                     return as_sim.empty() ? MadeLines{} : sim(c, as_sim);
                   }});
  options.kinds = kinds;
  ProgramAssembly program(folder.path, options, {});
  EXPECT_TRUE(program.problems().empty()) << program.problems().front();
  EXPECT_EQ(line_names(program), std::vector<std::string>{"Card 1"});
  EXPECT_EQ(program.device_kind(0), "pstn");
}

// Each channel of a simulated line has its own pair of devices, named after the line; every
// line's own devices come first, so they keep the numbers they have without channels.
TEST(LineKindTable, EveryChannelOfASimulatedLineHasDevicesOfItsOwn) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> outputs;  // the line devices' wave outputs, in number order
    std::vector<telephony::DWORD> channels;
  };
  const Case kCases[] = {
      {"OneChannelEach", "[[line]]\nname = \"A\"\n[[line]]\nname = \"B\"\n",
       {"A Modem wave/out", "B Modem wave/out"}, {1, 1}},
      {"ThreeChannels", "[[line]]\nname = \"A\"\nchannels = 3\n[[line]]\nname = \"B\"\n",
       {"A Modem wave/out", "B Modem wave/out", "A #2 Modem wave/out", "A #3 Modem wave/out"},
       {3, 1}},
  };
  std::vector<std::int32_t> first_outputs;
  for (const Case& c : kCases) {
    Folder folder(Variant{c.name, c.file, {}, {}});
    AssemblyOptions options;
    options.clock = ClockKind::Manual;
    options.settings_file = fs::path();
    ProgramAssembly program(folder.path, options, {});
    EXPECT_TRUE(program.problems().empty()) << c.name << ": " << program.problems().front();
    EXPECT_EQ(line_names(program), (std::vector<std::string>{"A", "B"})) << c.name;
    EXPECT_EQ(line_wave_outputs(program), c.outputs) << c.name;
    std::vector<std::int32_t> outputs;
    for (std::size_t i = 0; i < c.channels.size(); ++i) {
      const auto found = program.lines().provider_of(static_cast<telephony::DWORD>(i));
      ASSERT_TRUE(found) << c.name;
      const telephony::LineDeviceDescription& d = found->first->device(found->second);
      EXPECT_EQ(d.channels, c.channels[i]) << c.name << " line " << i;
      outputs.push_back(d.wave_out);
    }
    if (first_outputs.empty()) first_outputs = outputs;
    EXPECT_EQ(outputs, first_outputs) << c.name;
    // `orvexa lines` shows the count last on each line's row.
    const CommandRun lines = orvexa(folder.path, {"lines"});
    for (std::size_t i = 0; i < c.channels.size(); ++i) {
      std::istringstream rows(lines.out);
      std::string row;
      while (std::getline(rows, row) && row.rfind(std::to_string(i) + "\t", 0) != 0) {
      }
      EXPECT_EQ(row.substr(row.rfind('\t') + 1), std::to_string(c.channels[i]))
          << c.name << ": " << lines.out;
    }
  }
}

}  // namespace
}  // namespace orvexa::assembly
