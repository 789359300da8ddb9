' MarkletControl.Marklet from VBScript, as a script writer drives it under
' cscript: creation by its ProgID, every property read and written, the
' control's error numbers in Err.Number, the font-object idiom, pictures by
' relative path, Refresh. Prints each failed check and quits with their count.
Option Explicit

Dim failures : failures = 0

Sub Check(ok, what)
  If Not ok Then
    failures = failures + 1
    WScript.Echo "check failed: " & what
  End If
End Sub

Dim Marklet1
Set Marklet1 = CreateObject("MarkletControl.Marklet")
Check IsObject(Marklet1), "CreateObject by ProgID"

' A new instance's values.
Check Marklet1.Text = "", "Text starts empty"
Check Marklet1.TabSize = 5, "TabSize 5"
Check Marklet1.LinkColor = &HFF0000, "LinkColor &HFF0000"
Check Marklet1.MultiLine = True, "MultiLine"
Check Marklet1.Font.Name = "MS Sans Serif", "Font.Name " & Marklet1.Font.Name
Check Marklet1.Font.Size = 8.25, "Font.Size " & Marklet1.Font.Size

' Every settable property, written and read back.
Marklet1.LineSpacing = 3 : Check Marklet1.LineSpacing = 3, "LineSpacing"
Marklet1.BackColor = &HFFFFFF : Check Marklet1.BackColor = &HFFFFFF, "BackColor"
Marklet1.ShowMoreLink = True : Check Marklet1.ShowMoreLink, "ShowMoreLink"
Marklet1.GetTextOnEvent = True : Check Marklet1.GetTextOnEvent, "GetTextOnEvent"
Marklet1.MultiLine = False : Check Not Marklet1.MultiLine, "MultiLine False"
Marklet1.MultiLine = True
Marklet1.AutoSizeHeight = True : Check Marklet1.AutoSizeHeight, "AutoSizeHeight"
Marklet1.UnderlineLink = False : Check Not Marklet1.UnderlineLink, "UnderlineLink"
Marklet1.LeftMargin = 4 : Check Marklet1.LeftMargin = 4, "LeftMargin"
Marklet1.LinkDisplay = 2 : Check Marklet1.LinkDisplay = 2, "LinkDisplay"
Marklet1.TabSize = 8 : Check Marklet1.TabSize = 8, "TabSize"
Marklet1.ForeColor = &H80 : Check Marklet1.ForeColor = &H80, "ForeColor"
Marklet1.LinkColor = &H8000& : Check Marklet1.LinkColor = &H8000&, "LinkColor"
Marklet1.ActiveLinkColor = 255 : Check Marklet1.ActiveLinkColor = 255, "ActiveLinkColor"
Marklet1.Enabled = False : Check Not Marklet1.Enabled, "Enabled"
Marklet1.Enabled = True
Marklet1.Appearance = 1 : Check Marklet1.Appearance = 1, "Appearance"
Marklet1.BorderStyle = 1 : Check Marklet1.BorderStyle = 1, "BorderStyle"
Marklet1.MoreLinkText = "more..." : Check Marklet1.MoreLinkText = "more...", "MoreLinkText"
' Numeric strings are numbers.
Marklet1.TabSize = "6" : Check Marklet1.TabSize = 6, "TabSize from a string"
Marklet1.Text = "Hello &bworld\b, see #ehome<the home page>"
Check Marklet1.Text = "Hello &bworld\b, see #ehome<the home page>", "Text"
Check Marklet1.FormatedText = "Hello world, see the home page", "FormatedText " & Marklet1.FormatedText
Check Marklet1.Picture Is Nothing, "no Picture at first"
Set Marklet1.Picture = Nothing
Check Marklet1.Picture Is Nothing, "Set Picture = Nothing"

' The control's errors, by number (Wine's VBScript has no Execute, so each
' statement is written out).
On Error Resume Next
Err.Clear : Marklet1.TabSize = 300
Check Err.Number = 6, "TabSize 300 overflows: " & Err.Number
Err.Clear : Marklet1.TabSize = "wide"
Check Err.Number = 13, "TabSize from text, a type mismatch: " & Err.Number
Err.Clear : Marklet1.FormatedText = "x"
Check Err.Number = 383, "FormatedText is read-only: " & Err.Number
Err.Clear : Marklet1.NoSuchProperty = 1
Check Err.Number = 438, "an unknown member: " & Err.Number
Err.Clear
On Error GoTo 0
Check Marklet1.TabSize = 6, "a refused value leaves the old one"

' The font object: the same object on every get, and a change of one of its
' attributes reaches the control, which reads back what the surface realised.
Check Marklet1.Font Is Marklet1.Font, "Font is one object"
Marklet1.Font.Bold = True
Check Marklet1.Font.Bold, "Font.Bold"
Marklet1.Font.Name = "Tahoma"
Check Marklet1.Font.Name = "Tahoma", "Font.Name " & Marklet1.Font.Name
Marklet1.Font.Size = 14
Check Marklet1.Font.Size = 14.25, "Font.Size 14 reads 14.25: " & Marklet1.Font.Size
Marklet1.Font.Italic = True
Check Marklet1.Font.Italic, "Font.Italic"
' A size the surface refuses is undone on the object; the control keeps its font.
Marklet1.Font.Size = 5000
Check Marklet1.Font.Size = 14.25, "a refused size is undone: " & Marklet1.Font.Size
' Set Font copies the font: a later change to it does not reach the control.
Dim other
Set other = CreateObject("StdFont")
other.Name = "MS Sans Serif"
other.Size = 10
Set Marklet1.Font = other
Check Marklet1.Font.Name = "MS Sans Serif", "Set Font: " & Marklet1.Font.Name
other.Size = 20
Check Marklet1.Font.Size < 20, "a later change to the set font stays out: " & Marklet1.Font.Size
Check Not (Marklet1.Font Is other), "the control keeps its own font object"

' Pictures by a path relative to the current folder.
On Error Resume Next
Err.Clear : Marklet1.Text = "#ipic<dot16x8.png:0:0> beside it"
Check Err.Number = 0, "a picture by relative path: " & Err.Number & " " & Err.Description
Check Marklet1.FormatedText = "beside it", "FormatedText after a picture: " & Marklet1.FormatedText
Err.Clear : Marklet1.Text = "#ipic<no-such-file.png>"
Check Err.Number = 53, "a missing picture is error 53: " & Err.Number
Err.Clear : Marklet1.Refresh
Check Err.Number = 0, "Refresh: " & Err.Number
On Error GoTo 0

WScript.Echo "properties.vbs: " & failures & " failed"
WScript.Quit failures
