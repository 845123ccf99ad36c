#pragma once
// The conversion window and its dialogs, one reference each. Each sets its reference when created
// and clears it when destroyed: the dialogs live for the whole run and the conversion window asks
// them, and the frame's window command tests ConvForm to bring the window forward or create one.

class TConvForm;
class TOptForm;
class TFldForm;
class TErrDlg;
class TRsltDlg;

extern TConvForm* ConvForm;
extern TOptForm* OptForm;
extern TFldForm* FldForm;
extern TErrDlg* ErrDlg;
extern TRsltDlg* RsltDlg;
