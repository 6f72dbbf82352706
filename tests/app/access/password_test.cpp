#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/access/access_messages.h"
#include "app/access/password_file.h"
#include "app/access/password_prompt.h"
#include "../data/temp_folder.h"

namespace orvexa::access {
namespace {

namespace fs = std::filesystem;
using testing_support::read_all;
using testing_support::TempFolder;
using testing_support::write_all;
using Messages = std::vector<std::string>;

class PasswordTest : public ::testing::Test {
 protected:
  PasswordTest() {
    fs::create_directory(root.path() / "system");
    fs::create_directory(root.path() / "program");
    where.system_folders = {root.path() / "missing", root.path() / "system"};
    where.program_folder = root.path() / "program";
  }
  fs::path system_file() const { return root.path() / "system" / kPasswordFileName; }
  fs::path program_file() const { return root.path() / "program" / kPasswordFileName; }
  PasswordChange set(std::string_view a, std::string_view b, host::FileFaults* faults = nullptr) {
    return set_password(where, a, b, HashCost::minimum(), faults);
  }

  TempFolder root;
  PasswordLocations where;
};

TEST_F(PasswordTest, FilesAndWhatTheyMean) {
  struct Case {
    const char* name;
    const char* system_text;   // nullptr: no file
    const char* program_text;  // nullptr: no file
    PasswordState state;
    const char* right;  // an answer that passes, when set
    std::vector<const char*> wrong;
  };
  const Case cases[] = {
      {"no file anywhere", nullptr, nullptr, PasswordState::None, nullptr, {}},
      {"blanks and line breaks", " \r\n \r\n", nullptr, PasswordState::None, nullptr, {}},
      {"legacy plain digits", "1234\r\n", nullptr, PasswordState::Set, "1234",
       {"1234 ", " 1234", "123", "12345", ""}},
      {"the first location wins", "111\r\n", "222\r\n", PasswordState::Set, "111", {"222"}},
      {"program folder alone", nullptr, "  987\n", PasswordState::Set, "987", {"987\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(system_file());
    fs::remove(program_file());
    if (c.system_text) write_all(system_file(), c.system_text);
    if (c.program_text) write_all(program_file(), c.program_text);
    StoredPassword stored = read_password(where);
    EXPECT_EQ(stored.state, c.state);
    EXPECT_EQ(check_at_start(stored).decision,
              c.state == PasswordState::Set ? StartDecision::Ask : StartDecision::Start);
    if (c.right) {
      EXPECT_TRUE(stored.verify(c.right));
    }
    for (const char* answer : c.wrong) EXPECT_FALSE(stored.verify(answer)) << answer;
  }
}

TEST_F(PasswordTest, SetStoresAHashNeverTheDigits) {
  write_all(system_file(), "1234\r\n");  // an older plain file is replaced
  auto change = set("5678", "5678");
  EXPECT_TRUE(change.ok);
  EXPECT_EQ(change.messages, Messages{text::kSucceeded});
  EXPECT_EQ(change.file, system_file());
  const std::string content = read_all(system_file());
  EXPECT_EQ(content.find("5678"), std::string::npos);
  EXPECT_TRUE(content.starts_with("$argon2id$")) << content;
  EXPECT_FALSE(fs::exists(program_file()));
  StoredPassword stored = read_password(where);
  EXPECT_TRUE(stored.is_hash());
  EXPECT_TRUE(stored.verify("5678"));
  for (const char* wrong : {"1234", "5678 ", "567", ""}) EXPECT_FALSE(stored.verify(wrong)) << wrong;
}

// The hash of a short PIN falls to a guesser who can read it: never readable by other users, and
// a mode the user or the administrator chose survives a change of password.
TEST_F(PasswordTest, PasswordFileIsReadableByItsOwnerOnly) {
  auto mode_of = [](const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  };
  struct Case {
    const char* name;
    int existing;  // -1: no file yet
    mode_t umask;
    mode_t want;
  };
  const Case cases[] = {
      {"new file, umask 022", -1, 022, 0600},
      {"new file, umask 0", -1, 0, 0600},
      {"after chmod 600", 0600, 022, 0600},
      {"an admin group's 0640", 0640, 0, 0640},
      {"an older world-readable file", 0644, 022, 0640},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(system_file());
    if (c.existing >= 0) {
      write_all(system_file(), "1234\r\n");
      ASSERT_EQ(::chmod(system_file().c_str(), static_cast<mode_t>(c.existing)), 0);
    }
    const mode_t saved = ::umask(c.umask);
    const bool ok = set("5678", "5678").ok;
    ::umask(saved);
    ASSERT_TRUE(ok);
    EXPECT_EQ(mode_of(system_file()), c.want);
    EXPECT_TRUE(read_password(where).verify("5678"));
  }
}

TEST_F(PasswordTest, SetRefusals) {
  struct Case {
    const char* first;
    const char* repeat;
    const char* message;
  };
  const Case cases[] = {{"", "12", text::kEnterNewAndRepeat},
                        {"12", "  ", text::kEnterNewAndRepeat},
                        {"12", "13", text::kMismatch},
                        {"12a", "12a", text::kDigitsOnly}};
  for (const Case& c : cases) {
    auto change = set(c.first, c.repeat);
    EXPECT_FALSE(change.ok);
    EXPECT_EQ(change.messages, Messages{c.message}) << c.first << "/" << c.repeat;
  }
  EXPECT_FALSE(fs::exists(system_file()));
}

// The existing system folder is the only target: a failed write never falls back elsewhere.
TEST_F(PasswordTest, UnwritableTargetKeepsTheOldPasswordAndTriesNoOtherPlace) {
  write_all(system_file(), "1111\r\n");
  for (int n = 1; n <= 5; ++n) {
    host::FileFaults faults{n};
    auto change = set("2222", "2222", &faults);
    EXPECT_FALSE(change.ok) << n;
    EXPECT_EQ(change.messages, Messages{text::kCannotWrite}) << n;
    EXPECT_EQ(read_all(system_file()), "1111\r\n") << n;
    EXPECT_FALSE(fs::exists(program_file())) << n;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(root.path() / "system"), fs::directory_iterator{}), 1);
}

TEST_F(PasswordTest, WithoutSystemFolderTheProgramFolderIsUsed) {
  where.system_folders = {root.path() / "missing"};
  EXPECT_TRUE(set("42", "42").ok);
  EXPECT_TRUE(fs::exists(program_file()));
}

TEST_F(PasswordTest, RemovalDeletesOnlyTheFirstAndReportsTheTruth) {
  write_all(system_file(), "111\r\n");
  write_all(program_file(), "222\r\n");
  host::FileFaults faults{1};  // the file cannot be removed
  auto failed = remove_password(where, &faults);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.messages, Messages{text::kOperationFailed});
  EXPECT_TRUE(fs::exists(system_file()));

  auto removed = remove_password(where);
  EXPECT_TRUE(removed.ok);
  EXPECT_EQ(removed.messages, Messages{text::kRemoved});
  EXPECT_FALSE(fs::exists(system_file()));
  EXPECT_TRUE(read_password(where).verify("222"));  // the next start asks for the other one

  fs::remove(program_file());
  auto nothing = remove_password(where);
  EXPECT_TRUE(nothing.ok);
  EXPECT_EQ(nothing.messages, Messages{text::kRemoved});
}

TEST_F(PasswordTest, UnreadableFileKeepsTheProgramClosed) {
  write_all(system_file(), "1234\r\n");
  host::FileFaults faults{1};
  StoredPassword stored = read_password(where, &faults);
  EXPECT_EQ(stored.state, PasswordState::Unreadable);
  EXPECT_FALSE(stored.verify("1234"));
  EXPECT_FALSE(stored.verify(""));
  auto start = check_at_start(stored);
  EXPECT_EQ(start.decision, StartDecision::Refuse);
  EXPECT_EQ(start.message, text::kUnreadable);

  fs::remove(system_file());
  fs::create_directory(system_file());  // a folder where the file should be cannot be read either
  EXPECT_EQ(read_password(where).state, PasswordState::Unreadable);
}

TEST_F(PasswordTest, PromptAllowsThreeMistakes) {
  write_all(system_file(), "1234\r\n");
  StoredPassword stored = read_password(where);
  struct Case {
    std::vector<const char*> answers;
    PasswordPrompt::Answer last;
    bool starts;
  };
  const Case cases[] = {
      {{"1234"}, PasswordPrompt::Answer::Accepted, true},
      {{"1", "2", "1234 ", "1234"}, PasswordPrompt::Answer::Accepted, true},
      {{"1", "2", "3", "4"}, PasswordPrompt::Answer::WrongAndClosing, false},
  };
  for (const Case& c : cases) {
    PasswordPrompt prompt(stored);
    PasswordPrompt::Result result{PasswordPrompt::Answer::Wrong, {}};
    for (const char* answer : c.answers) result = prompt.confirm(answer);
    EXPECT_EQ(result.answer, c.last);
    EXPECT_EQ(prompt.lets_start(result.answer == PasswordPrompt::Answer::Accepted ? "1234" : ""),
              c.starts);
    if (c.last == PasswordPrompt::Answer::WrongAndClosing) {
      EXPECT_EQ(result.messages, (Messages{text::kWrongPassword, text::kClosingForSecurity}));
    }
  }
  PasswordPrompt cancelled(stored);
  EXPECT_EQ(cancelled.confirm("9").messages, Messages{text::kWrongPassword});
  EXPECT_FALSE(cancelled.lets_start(""));
}

}  // namespace
}  // namespace orvexa::access
