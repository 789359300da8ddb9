// MarkletControl.Marklet from JScript under cscript: creation by ProgID, the
// properties, the control's error numbers, the font-object idiom, pictures
// by relative path, Refresh. Prints each failed check and quits with their count.
var failures = 0;

function check(ok, what) {
  if (!ok) {
    failures++;
    WScript.Echo("check failed: " + what);
  }
}

// The control's error number a function raised (0 for none).
function errorOf(f) {
  try {
    f();
  } catch (e) {
    return e.number & 0xFFFF;
  }
  return 0;
}

var Marklet1 = new ActiveXObject("MarkletControl.Marklet");
check(typeof Marklet1 == "object", "new ActiveXObject by ProgID");

check(Marklet1.Text == "", "Text starts empty");
check(Marklet1.TabSize == 5, "TabSize 5");
Marklet1.LineSpacing = 2;
check(Marklet1.LineSpacing == 2, "LineSpacing");
Marklet1.LinkColor = 0x8000;
check(Marklet1.LinkColor == 0x8000, "LinkColor");
Marklet1.GetTextOnEvent = true;
check(Marklet1.GetTextOnEvent === true, "GetTextOnEvent");
Marklet1.MoreLinkText = "more...";
check(Marklet1.MoreLinkText == "more...", "MoreLinkText");
Marklet1.Text = "Click #ek1<here> now";
check(Marklet1.FormatedText == "Click here now", "FormatedText " + Marklet1.FormatedText);

check(errorOf(function () { Marklet1.TabSize = 300; }) == 6, "TabSize 300 overflows");
check(errorOf(function () { Marklet1.TabSize = "wide"; }) == 13, "type mismatch");
check(errorOf(function () { Marklet1.FormatedText = "x"; }) == 383, "FormatedText is read-only");
check(errorOf(function () { Marklet1.NoSuchMethod(); }) == 438, "an unknown member");

var font = Marklet1.Font;
check(font === Marklet1.Font || font == Marklet1.Font, "Font is one object");
Marklet1.Font.Bold = true;
check(Marklet1.Font.Bold, "Font.Bold");
font.Name = "Tahoma";
check(Marklet1.Font.Name == "Tahoma", "a change through a kept reference: " + Marklet1.Font.Name);
Marklet1.Font.Size = 14;
check(Marklet1.Font.Size == 14.25, "Font.Size 14 reads 14.25: " + Marklet1.Font.Size);
Marklet1.Font.Size = 5000;
check(Marklet1.Font.Size == 14.25, "a refused size is undone: " + Marklet1.Font.Size);

check(errorOf(function () { Marklet1.Text = "#ipic<dot16x8.png:0:0> beside it"; }) == 0, "a picture by relative path");
check(errorOf(function () { Marklet1.Text = "#ipic<no-such-file.png>"; }) == 53, "a missing picture is error 53");
check(errorOf(function () { Marklet1.Refresh(); }) == 0, "Refresh");

WScript.Echo("properties.js: " + failures + " failed");
WScript.Quit(failures);
