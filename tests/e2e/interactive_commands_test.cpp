// Command lines through the whole program: builtins, external programs, aliases, errors
// and changes of the stored total, checked byte for byte on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

struct Step {
  std::string Line;
  std::string Output;
};

void Run_Steps(Pty_Session& session, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    EXPECT_EQ(session.Run_Line(step.Line), step.Output) << step.Line;
  }
}

TEST(InteractiveCommands, BuiltinsThroughTheShell) {
  Pty_Session session;
  const std::string work = session.Tree().Work();
  session.Tree().Write_File("sub/f", "");
  ASSERT_TRUE(session.Wait_For_Frame());
  // The tables' edge cases are unit-tested; here, that the builtins reach the screen.
  Run_Steps(session, {{"set x=5", ""},
                      {"set b=true", ""},
                      {"set", "x= 5\r\nb=TRUE\r\n"},
                      {"PUT_LINE x", " 5\r\n"},
                      {"alias ll=ls", ""},
                      {"alias", "ll=ls\r\n"},
                      {"cd -", "no old_pwd.\r\n"},
                      {"cd sub", ""},
                      {"cd /does/not/exist", "Directory not found\r\n"},
                      {"cd -", ""},
                      {"pwd", work + "\r\n"},
                      {"cd", ""},
                      {"pwd", session.Tree().Home() + "\r\n"}});
}

TEST(InteractiveCommands, ExternalProgramsAliasesAndErrors) {
  Pty_Session session;
  session.Tree().Write_File("tools/show", "#!/bin/sh\nprintf '<%s>' \"$@\"; echo\n", true);
  ASSERT_TRUE(session.Wait_For_Frame());
  Run_Steps(session, {{"false", "Error: errno =  1\r\n"},
                      {"set", "Error: errno =  1\r\n"},
                      {"no_such_program_xyz", "\r\nCommand not found\r\nError: errno =  1\r\n"},
                      {"true", ""},
                      {"no_such_program_xyz", "\r\nCommand not found\r\n"},
                      {"kill -TERM $$", "Error: errno =  143\r\n"},
                      {"ls /does/not/exist 2>/dev/null", "Error: errno =  2\r\n"},
                      {"echo ok", "ok\r\n"},
                      {"echo a  b", "a b\r\n"},
                      {"printf '%s|' a 'b c' \"d  e\"", "a|b c|d  e|"},
                      {"echo abc | tr a-z A-Z", "ABC\r\n"},
                      {"echo hi > out.txt", ""},
                      {"cat < out.txt", "hi\r\n"},
                      {"./tools/show 1 '2 3'", "<1><2 3>\r\n"},
                      {"echo $((6*7)) && echo second", "42\r\nsecond\r\n"},
                      {"alias say=\"echo said\"", ""},
                      {"say it", "said it\r\n"},
                      {"say \"a  b\"", "said a b\r\n"},
                      {"Say it", "\r\nCommand not found\r\n"}});
  EXPECT_EQ(session.Tree().Read_File("out.txt"), "hi\n");
  session.Write("\x1b[A\x1b[A");
  EXPECT_TRUE(session.Wait_For("$ echo said a  b\r")) << "history keeps the substituted line";
}

TEST(InteractiveCommands, TotalLines) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  EXPECT_EQ(session.Run_Line("+12.5"), "");
  EXPECT_EQ(session.Tree().Read_File("nk.shared.total_sum"), std::string("\xe2\x04\x00\x00", 4));
  auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Total, " 12.50");

  EXPECT_EQ(session.Run_Line("-20"), "");
  EXPECT_EQ(session.Tree().Read_File("nk.shared.total_sum"), std::string("\x12\xfd\xff\xff", 4));
  EXPECT_EQ(session.Run_Line("+abc"), "-: error\r\n");
  EXPECT_TRUE(session.Wait_For("$ +abc")) << "a bad total line stays";
  session.Write("\x7f\x7f\x7f\x7f");
  EXPECT_EQ(session.Run_Line("+1000000"), "-: error\r\n");
  session.Write(std::string(8, '\x7f'));
  EXPECT_EQ(session.Run_Line("+"), "");
  EXPECT_TRUE(session.Wait_For("$ +")) << "a lone sign stays";
  session.Write("\x7f");
  EXPECT_EQ(session.Tree().Read_File("nk.shared.total_sum"), std::string("\x12\xfd\xff\xff", 4));
  frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Total, "-7.50");
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("\a")) << "total lines are not history";
}

}  // namespace
}  // namespace nk::pty_test
