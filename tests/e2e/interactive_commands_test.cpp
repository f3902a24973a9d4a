// Command lines through the whole program, byte for byte. Edge cases: tests/shell.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(InteractiveCommands, BuiltinsExternalProgramsAliasesAndErrors) {
  Pty_Session session;
  const std::string work = session.Tree.Work();
  session.Tree.Write_File("sub_\xc3\xa9/f", "");
  session.Tree.Write_File("tools/show", "#!/bin/sh\nprintf '<%s>' \"$@\"; echo\n", true);
  const std::string text = "h\xc3\xa9llo \xe2\x82\xac \xe6\x97\xa5 \xf0\x9f\x98\x80";
  const std::string not_found = "\r\nCommand not found\r\n", failed = "Error: errno =  1\r\n";
  const std::pair<std::string, std::string> steps[] = {
      // clang-format off
      {"set x=5", ""}, {"set v=caf\xc3\xa9", ""}, {"PUT_LINE x", " 5\r\n"}, {"alias ll=ls", ""},
      {"alias", "ll=ls\r\n"}, {"cd -", "no old_pwd.\r\n"}, {"cd sub_\xc3\xa9", ""},
      {"pwd", work + "/sub_\xc3\xa9\r\n"}, {"cd /does/not/exist", "Directory not found\r\n"},
      {"cd -", ""}, {"pwd", work + "\r\n"}, {"false", failed},
      {"set", "x= 5\r\nv=caf\xc3\xa9\r\n" + failed} /* the status is kept */,
      {"no_such_program_xyz", not_found + failed}, {"true", ""},
      {"no_such_program_xyz", not_found}, {"kill -TERM $$", "Error: errno =  143\r\n"},
      {"echo " + text, text + "\r\n"}, {"echo hi > out.txt", ""},
      {"./tools/show 1 '2 3'", "<1><2 3>\r\n"}, {"alias say=\"echo said\"", ""},
      {"say \"a  b\"", "said a b\r\n"}, {"Say it", not_found},
      // 0 to 2 and ls's own folder: no descriptor of nelk's reaches a program.
      {"ls -1 /proc/self/fd", "0\r\n1\r\n2\r\n3\r\n"},
      // clang-format on
  };
  for (const auto& [line, output] : steps) EXPECT_EQ(session.Run_Line(line), output) << line;
  EXPECT_EQ(session.Tree.Read_File("out.txt"), "hi\n");
  // History keeps the line as substituted; a recalled line runs as it is and is the newest.
  session.Write("\x1b[A\x1b[A\x1b[A");
  session.Wait_For("$ echo said a  b\r");
  EXPECT_EQ(session.Run_Line(""), "said a b\r\n");
  session.Write("\x1b[A\x1b[A");
  session.Wait_For("$ ls -1 /proc/self/fd\r");
}

TEST(InteractiveCommands, CompletedNamesAreFoundByTheCommandOrListed) {
  Pty_Session session({.Columns = 200});
  const std::string work = session.Tree.Work();
  session.Tree.Write_File("bad\xff.dat", "BAD\n");
  session.Tree.Write_File("sub/beta1", "");
  session.Tree.Write_File("sub/beta2", "");
  // On screen a raw byte is a visible U+FFFD; in the line it stays the byte.
  session.Write("cat bad\t");
  session.Wait_For("$ cat " + work + "/bad\xef\xbf\xbd.dat");
  EXPECT_EQ(session.Run_Line(""), "BAD\r\n");
  session.Write("ls sub/bet");
  session.Wait_For("$ ls sub/bet");
  session.Write("\t");
  const std::string listed = session.Wait_For_Frame().Before;
  EXPECT_TRUE(listed == "\r\nsub/beta1\r\nsub/beta2\r\n" ||
              listed == "\r\nsub/beta2\r\nsub/beta1\r\n")
      << listed;
  session.Wait_For("$ ls sub/bet\r");  // the line stays as it was
  // An error that repeats a long word keeps to one row of the window; the line stays.
  session.Write(std::string(13, '\x7f') + "ls " + std::string(2000, '{') + "a\t");
  session.Wait_For("\r\nCompletion error: ");
  const std::string rest = session.Wait_For("\r\n");  // 199 columns in all, "…" 3 bytes
  EXPECT_TRUE(rest.ends_with("\u2026") && rest.size() <= 199 - 18 - 1 + 3) << rest;
  session.Write("b");
  session.Wait_For("{{ab");
}

TEST(InteractiveCommands, TotalLines) {
  Pty_Session session;
  const std::string minus_7_50("\x12\xfd\xff\xff", 4);
  EXPECT_EQ(session.Run_Line("cd ../home"), "");  // the total stays where nelk started
  EXPECT_EQ(session.Run_Line("+12.5"), "");
  EXPECT_EQ(session.Tree.Read_File("nk.shared.total_sum"), std::string("\xe2\x04\x00\x00", 4));
  EXPECT_EQ(session.Wait_For_Frame().Total, " 12.50");
  EXPECT_EQ(session.Run_Line("-20"), "");
  EXPECT_EQ(session.Tree.Read_File("nk.shared.total_sum"), minus_7_50);
  // A bad total line stays, and so does a lone sign.
  EXPECT_EQ(session.Run_Line("+abc"), "-: error\r\n");
  session.Wait_For("$ +abc");
  EXPECT_EQ(session.Run_Line("\x7f\x7f\x7f\x7f+1000000"), "-: error\r\n");
  EXPECT_EQ(session.Run_Line(std::string(8, '\x7f') + "+"), "");
  session.Wait_For("$ +");
  session.Write("\x7f");
  EXPECT_EQ(session.Tree.Read_File("nk.shared.total_sum"), minus_7_50);
  EXPECT_EQ(session.Wait_For_Frame().Total, "-7.50");
  EXPECT_EQ(session.Run_Line("+999999.99"), "");  // the top edge, as a value and as a sum
  EXPECT_EQ(session.Run_Line("+7.50"), "");
  EXPECT_EQ(session.Tree.Read_File("nk.shared.total_sum"), std::string("\xff\xe0\xf5\x05", 4));
  session.Write("\x1b[A");
  session.Wait_For("$ cd ../home\r");  // total lines are not history
}

}  // namespace
}  // namespace nk::pty_test
