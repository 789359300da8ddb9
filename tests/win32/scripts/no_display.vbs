' Run with no X display: the control cannot make its window, so creating it
' fails with the control's error (5, or 7 when memory runs out) and a message,
' and the script host goes on. Quits with 0 when that is what happened.
Option Explicit
Dim Marklet1, number, description
On Error Resume Next
Set Marklet1 = CreateObject("MarkletControl.Marklet")
number = Err.Number
description = Err.Description
On Error GoTo 0
WScript.Echo "no display: error " & number & " (" & Hex(number) & "): " & description
If IsObject(Marklet1) Then
  WScript.Echo "check failed: the control was created without a window"
  WScript.Quit 1
End If
If number = 0 Then
  WScript.Echo "check failed: creation reported no error"
  WScript.Quit 1
End If
WScript.Quit 0
