#include "app/globals.h"

TMainForm* MainForm = nullptr;
TFindForm* FindForm = nullptr;
TConvForm* ConvForm = nullptr;
TOptForm* OptForm = nullptr;
TFldForm* FldForm = nullptr;
TErrDlg* ErrDlg = nullptr;
TRsltDlg* RsltDlg = nullptr;
