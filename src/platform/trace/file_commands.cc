// Script commands for the files scenarios save and load: write a file's text
// and print it back, a record a line.
#include <fstream>
#include <sstream>

#include "host/error.h"
#include "platform/bag/bag_file_io.h"
#include "platform/files/replace_file.h"
#include "platform/trace/json.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddFileCommands(ScriptRunner& runner) {
  // `writefile FILE "TEXT"`: the text, as UTF-8, becomes the whole file.
  runner.AddCommand("writefile", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.size() != 2 || a[1].kind != Token::String) throw ScriptArgumentError("usage: writefile FILE \"TEXT\"");
    r.Guard([&] { files::ReplaceFile(U16ToUtf8(a[0].value), a[1].text, r.world().root()); });
  });

  // `showfile FILE`: prints {"file":LINE} for every line of the file.
  runner.AddCommand("showfile", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.size() != 1) throw ScriptArgumentError("usage: showfile FILE");
    r.Guard([&] {
      std::istringstream text(bag::ReadWholeFile(U16ToUtf8(a[0].value), r.world().root()));
      std::string line;
      while (std::getline(text, line)) r.world().log().Emit("file", JsonString(std::string_view(line)));
    });
  });
}

}  // namespace marklet::trace
