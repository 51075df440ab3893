// Settings and version names that would break JAWS's files or lead outside its folders are
// refused before any file is touched.
#include <gtest/gtest.h>

#include <string>

#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

TEST(BadInput, RefusedUpFront) {
  const struct {
    const char* name;
    const char* modify;
    const char* application;  // as written in Setup.ini
    const char* caption;      // of the second box, ticked when `tick`
    int tick;
    bool refused;
  } cases[] = {
      {"plain key", "1", "notepad", "16.0", 0, false},
      {"key with an inner blank", "1", "bloco de notas", "16.0", 0, false},
      {"empty key", "1", "", "16.0", 0, true},
      {"quoted blanks", "1", "\"  \"", "16.0", 0, true},
      {"'=' in the key", "1", "a=b", "16.0", 0, true},
      {"looks like a section", "1", "[Outra]", "16.0", 0, true},
      {"looks like a section after a blank", "1", "\" [Outra]\"", "16.0", 0, true},
      {"looks like a comment", "1", ";nota", "16.0", 0, true},
      {"bad key unused when switched off", "0", "[x]", "16.0", 0, false},
      {"empty version name", "1", "notepad", "", 1, true},
      {"version .", "1", "notepad", ".", 1, true},
      {"version ..", "1", "notepad", "..", 1, true},
      {"version climbing with \\", "1", "notepad", "..\\..", 1, true},
      {"version climbing with /", "1", "notepad", "../..", 1, true},
      {"bad version name unticked", "1", "notepad", "..\\..", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JawsSandbox box;
    box.addUser("17.0", {"ENU"});
    box.addShared("17.0", "ENU");
    // Where "..\..\..\.." would lead from the settings tree: a folder that looks like one.
    box.makeFolder(box.root() + "\\Roaming\\settings\\ENU");
    box.setting("ModifyScriptName", c.modify);
    box.setting("Application", c.application);
    const std::string configNames = box.shared("17.0", "ENU") + "\\confignames.ini";
    const std::string before = box.read(configNames);
    const Status st = box.run({VersionBox{"17.0", 1}, VersionBox{c.caption, c.tick}, {}, {}}, 2);

    if (c.refused) {
      ASSERT_FALSE(st.ok());
      EXPECT_FALSE(st.reason().empty());
      EXPECT_EQ(st.path(), c.tick ? box.settingsFolder(c.caption) : box.setupIni());
      for (const std::string& line : box.rec.log) {
        if (line.find("Exists ") != std::string::npos) continue;  // looking writes nothing
        EXPECT_EQ(line.rfind("iniRead ", 0), 0u) << "not even the good version may go first";
      }
      EXPECT_EQ(box.read(configNames), before);
    } else {
      EXPECT_TRUE(st.ok()) << st.reason();
    }
    EXPECT_FALSE(box.isFile(box.root() + "\\Roaming\\settings\\ENU\\leitor.jss"));
  }
}

}  // namespace
}  // namespace inst::testing
