#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cli/command.h"
#include "cli/json_output.h"

namespace vx::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A command with verbs, as "config" will have, registered the way every
// cmd_<name>.cpp registers itself.
struct VerbCalls {
  std::string last;
  int count = 0;
};
VerbCalls& Calls() {
  static VerbCalls calls;
  return calls;
}

void RegisterVerbSample(CLI::App& root, Actions& actions) {
  struct Options {
    std::string key;
    int times = 1;
  };
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("verb-sample", "a command with verbs");
  cmd->require_subcommand(1);
  CLI::App* get = cmd->add_subcommand("get", "reads a key");
  get->add_option("key", o->key, "the key")->required();
  get->add_option("--times", o->times, "how often")->transform(DecimalRange(1, 50));
  actions.Bind(get, [o] {
    Calls().last = "get " + o->key + " x" + std::to_string(o->times);
    ++Calls().count;
    return 0;
  });
  CLI::App* fail = cmd->add_subcommand("misuse", "finds a usage error after parsing");
  actions.Bind(fail, []() -> int { throw UsageError("no such key"); });
}
CommandRegistration sample(&RegisterVerbSample);

struct Result {
  int code;
  std::string out, err;
};

Result RunCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(CommandLineTest, HelpListsEveryCommandAndExitsZero) {
  for (const auto& args : {std::vector<std::string>{"help"}, std::vector<std::string>{"--help"}}) {
    const Result r = RunCli(args);
    EXPECT_EQ(r.code, 0);
    for (const char* name : {"discover", "servers", "save-pages", "verb-sample"})
      EXPECT_THAT(r.out, HasSubstr(name)) << args[0];
  }
}

TEST(CommandLineTest, NoCommandOrAnUnknownOneIsAUsageError) {
  Result r = RunCli({});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("save-pages"));
  r = RunCli({"frobnicate", "--json"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("unknown command 'frobnicate'"));
  EXPECT_THAT(r.err, HasSubstr("discover"));  // followed by the list of commands
  r = RunCli({"--frobnicate"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("--help"));
}

TEST(CommandLineTest, EveryCommandHasItsOwnHelp) {
  const std::vector<std::pair<std::string, std::string>> commands = {{"discover", "--seconds"},
                                                                     {"servers", "--json"},
                                                                     {"save-pages", "--target"},
                                                                     {"verb-sample", "misuse"}};
  for (const auto& [name, option] : commands) {
    for (const auto& args :
         {std::vector<std::string>{name, "--help"}, std::vector<std::string>{"help", name}}) {
      const Result r = RunCli(args);
      EXPECT_EQ(r.code, 0) << name;
      EXPECT_THAT(r.out, HasSubstr(option)) << name;
    }
  }
  const Result verb = RunCli({"verb-sample", "get", "--help"});
  EXPECT_EQ(verb.code, 0);
  EXPECT_THAT(verb.out, HasSubstr("reads a key"));
}

TEST(CommandLineTest, BadOptionsAreUsageErrorsBeforeAnythingRuns) {
  const std::vector<std::vector<std::string>> bad = {
      {"discover", "--seconds"},
      {"discover", "--seconds", "-1"},
      {"discover", "--seconds", "86401"},
      {"discover", "--seconds", "0x10"},  // no base prefixes
      {"discover", "--seconds", "1e3"},
      {"discover", "--seconds", "+5"},
      {"discover", "--seconds", "99999999999999999999"},
      {"discover", "--bogus"},
      {"discover", "extra"},
      {"servers", "--json", "extra"},
      {"save-pages", "--format", "gif", "--dpi", "300", "--target", "x.gif", "p.bmp"},
      {"save-pages", "--format", "pdf", "--target", "x.pdf", "p.bmp"},
      {"save-pages", "--format", "pdf", "--dpi", "0", "--target", "x.pdf", "p.bmp"},
      {"save-pages", "--format", "pdf", "--dpi", "65536", "--target", "x.pdf", "p.bmp"},
      {"save-pages", "--format", "pdf", "--dpi", "300", "--target", "x.pdf"},
      {"verb-sample"},
      {"verb-sample", "get"},
      {"verb-sample", "put", "k"},
      {"verb-sample", "get", "k", "--times", "0"},
      {"verb-sample", "get", "k", "--times", "51"},
      {"verb-sample", "get", "k", "--times", "0x10"},
  };
  // None of these may reach an action (discover would broadcast).
  for (const auto& args : bad) {
    const Result r = RunCli(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.code, 2) << line;
    EXPECT_FALSE(r.err.empty()) << line;
  }
  EXPECT_THAT(RunCli({"discover", "--seconds", "86401"}).err, HasSubstr("0 to 86400"));
}

TEST(CommandLineTest, DecimalNumbersAreReadAsDecimal) {
  Calls() = {};
  EXPECT_EQ(RunCli({"verb-sample", "get", "k", "--times", "010"}).code, 0);
  EXPECT_EQ(Calls().last, "get k x10");  // not octal eight
  EXPECT_EQ(RunCli({"verb-sample", "get", "k", "--times", "50"}).code, 0);
  EXPECT_EQ(Calls().last, "get k x50");
  EXPECT_EQ(Calls().count, 2);
}

TEST(CommandLineTest, UsageErrorsFoundByTheCommandExitTwoAndNameIt) {
  Result r = RunCli({"verb-sample", "misuse"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("verb-sample misuse: no such key"));
  r = RunCli({"save-pages", "--format", "pdf", "--dpi", "300", "--target", "x.pdf", "/nonexistent/p.bmp"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("save-pages: cannot read /nonexistent/p.bmp"));
}

TEST(CommandLineTest, TheChosenVerbRunsWithItsArguments) {
  Calls() = {};
  const Result r = RunCli({"verb-sample", "get", "Language"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Calls().last, "get Language x1");
  EXPECT_EQ(Calls().count, 1);
}

TEST(JsonOutputTest, KeysKeepTheirOrderAndTextsAreEscaped) {
  const Json j{{"ip", "10.0.0.1"},
               {"name", "a\"b\\c\n\x01"},
               {"location", 3},
               {"wireless", true},
               {"list", Json::array()}};
  EXPECT_EQ(JsonLine(j),
            R"({"ip":"10.0.0.1","name":"a\"b\\c\n\u0001","location":3,"wireless":true,"list":[]})");
}

TEST(JsonOutputTest, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  // A valid two-byte character stays; a lone continuation byte, a truncated
  // sequence and an overlong encoding do not break the line.
  EXPECT_EQ(JsonLine(Json{{"model", "\xC3\xA9"}}), "{\"model\":\"\xC3\xA9\"}");
  EXPECT_EQ(JsonLine(Json{{"model", "a\x80z"}}), "{\"model\":\"a\xEF\xBF\xBDz\"}");
  EXPECT_EQ(JsonLine(Json{{"model", "a\xE2\x82"}}), "{\"model\":\"a\xEF\xBF\xBD\"}");
  const std::string overlong = JsonLine(Json{{"model", "\xC0\xAF"}});
  EXPECT_THAT(overlong, HasSubstr("\xEF\xBF\xBD"));
  EXPECT_THAT(overlong, Not(HasSubstr("/")));
  EXPECT_TRUE(Json::accept(overlong));
}

}  // namespace
}  // namespace vx::cli
