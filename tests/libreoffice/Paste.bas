' Pastes the clipboard into a new Draw drawing as Ctrl+V does, then writes what
' LibreOffice saw to the file named by KRITZEL_LO_OUT: one line per clipboard format
' ("flavor MIME") and one per shape pasted ("shape TYPE WIDTH HEIGHT [graphic KIND]",
' sizes in hundredths of a millimetre, KIND 1 for a bitmap and 2 for a vector picture).
Sub Main
  Dim out As String
  Dim clip As Object
  clip = createUnoService("com.sun.star.datatransfer.clipboard.SystemClipboard")
  Dim contents As Object
  contents = clip.getContents()
  If Not IsNull(contents) Then
    Dim flavors
    flavors = contents.getTransferDataFlavors()
    For i = 0 To UBound(flavors)
      out = out & "flavor " & flavors(i).MimeType & Chr(10)
    Next
  End If
  Dim doc As Object
  doc = StarDesktop.loadComponentFromURL("private:factory/sdraw", "_blank", 0, Array())
  Dim dispatcher As Object
  dispatcher = createUnoService("com.sun.star.frame.DispatchHelper")
  dispatcher.executeDispatch(doc.CurrentController.Frame, ".uno:Paste", "", 0, Array())
  Dim page As Object
  page = doc.DrawPages.getByIndex(0)
  For i = 0 To page.Count - 1
    Dim s As Object
    s = page.getByIndex(i)
    out = out & "shape " & s.ShapeType & " " & s.Size.Width & " " & s.Size.Height
    If s.supportsService("com.sun.star.drawing.GraphicObjectShape") Then
      out = out & " graphic " & s.Graphic.Type
    End If
    out = out & Chr(10)
  Next
  Dim n As Integer
  n = FreeFile
  Open Environ("KRITZEL_LO_OUT") For Output As #n
  Print #n, out
  Close #n
  doc.close(True)
  StarDesktop.terminate()
End Sub
