#pragma once
// One global reference per window, named after the window. The child windows and dialogs set
// their reference when created and clear it when destroyed; the frame's window commands test
// them to decide between bringing a window forward and creating a fresh one.

class TMainForm;
class TFindForm;
class TConvForm;
class TOptForm;
class TFldForm;
class TErrDlg;
class TRsltDlg;

extern TMainForm* MainForm;
extern TFindForm* FindForm;
extern TConvForm* ConvForm;
extern TOptForm* OptForm;
extern TFldForm* FldForm;
extern TErrDlg* ErrDlg;
extern TRsltDlg* RsltDlg;
